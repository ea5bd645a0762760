#pragma once

#include <QByteArray>

namespace norvane {

// The message list as the table logic sees it: one line per message, in number order.
// The main window implements it with its list control; tests implement it with a fake.
class MessageList
{
public:
    virtual ~MessageList() = default;
    // Removes every line; nothing is selected and the list is scrolled to the top.
    virtual void clear() = 0;
    // Appends a line at the end.
    virtual void append(const QByteArray &line) = 0;
    // Replaces the text of line i; no other line changes.
    virtual void replaceLine(int i, const QByteArray &line) = 0;
    // Scrolls so that line i is the first visible line, or as near to that as scrolling allows.
    virtual void setTopLine(int i) = 0;
};

} // namespace norvane
