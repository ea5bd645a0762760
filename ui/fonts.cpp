// SPDX-License-Identifier: MIT
#include "fonts.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>

namespace norvane {

QFont fixedPitchFont(qreal pointSize)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSizeF(pointSize);
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    if (QFontInfo(font).fixedPitch())
        return font;

    QFont fallback(QStringLiteral("DejaVu Sans Mono"));
    fallback.setStyleHint(QFont::Monospace, QFont::PreferMatch);
    fallback.setFixedPitch(true);
    fallback.setPointSizeF(pointSize);
    return fallback;
}

QFont smallLabelFont(qreal pointSize, const QString &sample, int width)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setWeight(QFont::Normal);
    // Step down half a point at a time; 4 pt is the smallest that stays legible.
    for (qreal size = pointSize; size >= 4.0; size -= 0.5) {
        font.setPointSizeF(size);
        if (QFontMetrics(font).horizontalAdvance(sample) <= width)
            return font;
    }
    font.setPointSizeF(4.0);
    return font;
}

} // namespace norvane
