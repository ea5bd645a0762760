// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>

namespace norvane {

// Makes Enter or Return on a focused push button press it, as on the desktops the tool runs on.
// Qt leaves these keys to a dialog's default button; the main window has none, so a key press in
// a field still does nothing. A held key presses the button once.
class EnterClicksButton : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};

} // namespace norvane
