#pragma once

#include <QListWidget>

namespace norvane {

// The message list control: extended selection, never sorted, one line per message in a
// fixed-pitch font, scrolled by whole lines.
//
// Unlike a plain QListWidget it does not make the first line current when it receives the
// keyboard focus: "no current line" must stay so until the user clicks or moves to a line,
// otherwise "Modify" would silently overwrite message 0.
class MessageListWidget : public QListWidget
{
    Q_OBJECT
public:
    explicit MessageListWidget(QWidget *parent = nullptr);

    // The index of the first visible line (0 when the list is empty).
    int topLine() const;

protected:
    void focusInEvent(QFocusEvent *event) override;
};

} // namespace norvane
