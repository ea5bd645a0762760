// SPDX-License-Identifier: MIT
#pragma once

#include <QListView>

namespace norvane {

// The message list control: extended selection, never sorted, one line per message in a
// fixed-pitch font, scrolled by whole lines.
//
// Unlike a plain list view it does not make the first line current when it receives the
// keyboard focus: "no current line" must stay so until the user clicks or moves to a line,
// otherwise "Modify" would silently overwrite message 0.
class MessageListView : public QListView
{
    Q_OBJECT
public:
    explicit MessageListView(QWidget *parent = nullptr);

    // The line that has the focus mark, -1 when there is none.
    int currentRow() const;
    // The index of the first visible line (0 when the list is empty).
    int topLine() const;

protected:
    void focusInEvent(QFocusEvent *event) override;
};

} // namespace norvane
