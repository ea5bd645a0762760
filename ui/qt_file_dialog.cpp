// SPDX-License-Identifier: MIT
#include "qt_file_dialog.h"

#include "object_names.h"

#include <QFileDialog>

namespace norvane {

std::optional<QString> QtFileDialog::showOpen()
{
    return run(false);
}

std::optional<QString> QtFileDialog::showSave()
{
    return run(true);
}

std::optional<QString> QtFileDialog::run(bool save)
{
    QFileDialog dialog(m_parent);
    dialog.setObjectName(objectName::FileDialog);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    // Open mode accepts a name that does not exist, too: "Load" then reports the read error.
    dialog.setFileMode(QFileDialog::AnyFile);
    if (!m_fileName.isEmpty())
        dialog.selectFile(m_fileName);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    m_fileName = chosen.isEmpty() ? QString() : chosen.first();
    return m_fileName;
}

} // namespace norvane
