// SPDX-License-Identifier: MIT
#include "charset.h"

#include <array>

namespace norvane {

namespace {

// Characters of the bytes 0x80..0x9F. The five bytes Windows-1252 leaves unassigned keep the
// C1 control character of the same value, so that decoding never loses a byte.
constexpr std::array<char16_t, 32> HighControlRange = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, // 0x80..0x87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F, // 0x88..0x8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 0x90..0x97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178, // 0x98..0x9F
};

// The byte of a character, or -1 when it has none.
int byteOf(char16_t u)
{
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF))
        return u;
    for (int i = 0; i < int(HighControlRange.size()); ++i) {
        if (HighControlRange[i] == u)
            return 0x80 + i;
    }
    return -1;
}

} // namespace

QString bytesToText(const QByteArray &bytes)
{
    QString text;
    text.reserve(bytes.size());
    for (char b : bytes) {
        const auto u = static_cast<unsigned char>(b);
        if (u >= 0x80 && u < 0xA0)
            text.append(QChar(HighControlRange[u - 0x80]));
        else
            text.append(QChar(char16_t(u)));
    }
    return text;
}

bool isRepresentable(QChar c)
{
    return byteOf(c.unicode()) >= 0;
}

bool isRepresentable(const QString &text)
{
    for (QChar c : text) {
        if (!isRepresentable(c))
            return false;
    }
    return true;
}

QByteArray textToBytes(const QString &text)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        // A character outside the basic plane is one character in two halves: one '?' for it.
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            ++i;
        const int b = byteOf(c.unicode());
        bytes.append(b >= 0 ? char(b) : '?');
    }
    return bytes;
}

} // namespace norvane
