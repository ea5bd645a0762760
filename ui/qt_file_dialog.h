// SPDX-License-Identifier: MIT
#pragma once

#include "file_dialog.h"

#include <QString>

class QWidget;

namespace norvane {

// The shared file dialog on QFileDialog: every file listed, no title or filter preset. The name
// chosen last, in either mode, is the starting name next time.
class QtFileDialog : public FileDialog
{
public:
    explicit QtFileDialog(QWidget *parent = nullptr) : m_parent(parent) {}

    std::optional<QString> showOpen() override;
    std::optional<QString> showSave() override;

    QString fileName() const { return m_fileName; }

private:
    std::optional<QString> run(bool save);

    QWidget *m_parent;
    QString m_fileName;
};

} // namespace norvane
