// SPDX-License-Identifier: MIT
#pragma once

#include "message_box_view.h"

class QWidget;

namespace norvane {

// A modal QMessageBox: no icon, one OK button, caption "Norvane", the text shown as plain text
// (a file name holding markup is shown as it is).
class QtMessageBoxView : public MessageBoxView
{
public:
    explicit QtMessageBoxView(QWidget *parent = nullptr) : m_parent(parent) {}
    void showMessage(const QString &text) override;

private:
    QWidget *m_parent;
};

} // namespace norvane
