// SPDX-License-Identifier: MIT
#pragma once

namespace norvane {

// The message list as the table logic sees it: one line per message, in number order, each
// showing its entry's list line (FormatListLine). The list reads the lines from the table; the
// logic tells it which of them changed. The main window implements it with its list control;
// tests implement it with a fake.
class MessageList
{
public:
    virtual ~MessageList() = default;
    // Every line is shown anew from the table; nothing is selected, no line is current and the
    // list is scrolled to the top.
    virtual void rebuild() = 0;
    // Line i is shown anew from its entry; no other line changes.
    virtual void lineChanged(int i) = 0;
    // Every line is shown anew from the table; the selection, the current line and the top line
    // stay as they are.
    virtual void linesChanged() = 0;
    // Scrolls so that line i is the first visible line, or as near to that as scrolling allows.
    virtual void setTopLine(int i) = 0;
};

} // namespace norvane
