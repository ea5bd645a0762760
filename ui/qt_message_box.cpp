#include "qt_message_box.h"

#include <QMessageBox>

namespace norvane {

void QtMessageBox::showMessage(const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Norvane"), QString(), QMessageBox::Ok,
                    m_parent);
    box.setTextFormat(Qt::PlainText);
    box.setText(text);
    box.exec();
}

} // namespace norvane
