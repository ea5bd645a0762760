// SPDX-License-Identifier: MIT
#include "qt_message_box_view.h"

#include <QMessageBox>

namespace norvane {

void QtMessageBoxView::showMessage(const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Norvane"), QString(), QMessageBox::Ok,
                    m_parent);
    box.setTextFormat(Qt::PlainText);
    box.setText(text);
    box.exec();
}

} // namespace norvane
