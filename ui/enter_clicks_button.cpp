// SPDX-License-Identifier: MIT
#include "enter_clicks_button.h"

#include <QAbstractButton>
#include <QKeyEvent>

namespace norvane {

bool EnterClicksButton::eventFilter(QObject *watched, QEvent *event)
{
    auto *button = qobject_cast<QAbstractButton *>(watched);
    if (!button || event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    const auto *key = static_cast<QKeyEvent *>(event);
    const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
    // The keypad's Enter carries the keypad modifier; any other modifier leaves the key alone.
    if (!enter || (key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
        return QObject::eventFilter(watched, event);
    if (!key->isAutoRepeat())
        button->click();
    return true;
}

} // namespace norvane
