// SPDX-License-Identifier: MIT
#include "display_rows.h"

#include "charset.h"
#include "fixed_width.h"
#include "message_table.h"

namespace norvane {

namespace {

QString visibleText(const QByteArray &bytes)
{
    QString text = bytesToText(bytes);
    for (QChar &c : text) {
        const ushort code = c.unicode();
        if (code < 0x20)
            c = QChar(0x2400 + code);
        else if (code == 0x7F)
            c = QChar(0x2421);
        else if (code >= 0x80 && code < 0xA0)
            c = QChar(0xFFFD);
    }
    return text;
}

} // namespace

QStringList displayRows(int number, const QByteArray &text)
{
    const QByteArray full = fixedWidth(text, EntryLength);
    const QString label = QStringLiteral("%1").arg(number, 3, 10, QLatin1Char('0'));
    const QString blank(label.size(), QLatin1Char(' '));
    return {
        label + QStringLiteral(" |") + visibleText(full.left(DisplayLineLength)) + QLatin1Char('|'),
        blank + QStringLiteral(" |") + visibleText(full.mid(DisplayLineLength)) + QLatin1Char('|')};
}

} // namespace norvane
