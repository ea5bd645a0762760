// SPDX-License-Identifier: MIT
#include "number_conversion.h"

#include <algorithm>

namespace norvane {

namespace {

constexpr qint32 Lowest = -32768;
constexpr qint32 Highest = 32767;

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Blanks, tabs and line feeds do not count anywhere in a typed number ("1 000" is 1000).
QByteArray withoutBlanks(const QByteArray &text)
{
    QByteArray kept(text.size(), Qt::Uninitialized);
    char *out = kept.data();
    for (char c : text) {
        *out = c;
        out += c != ' ' && c != '\t' && c != '\n';
    }
    kept.truncate(out - kept.constData());
    return kept;
}

// NOLINTNEXTLINE(bugprone-easily-swappable-parameters): a character and a base
int digitValue(char c, int base)
{
    int v = -1;
    if (c >= '0' && c <= '9')
        v = c - '0';
    else if (c >= 'a' && c <= 'f')
        v = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
        v = c - 'A' + 10;
    return v < base ? v : -1;
}

// The digits after "&H" or "&O". They are read as a plain non-negative value: "&HFFFF" is
// 65535 and so out of range. Some BASIC dialects read four hex digits as a 16-bit two's
// complement pattern (-1), but a pause or a message number written in hex is meant as the
// value it shows, and a surprise negative pause is worse than keeping the default.
std::optional<qint16> convertBased(const char *p, const char *end, int base)
{
    qint32 value = 0;
    for (; p != end; ++p) {
        const int d = digitValue(*p, base);
        if (d < 0)
            break;
        value = value * base + d;
        if (value > Highest)
            return std::nullopt;
    }
    return qint16(value);
}

// A decimal number: [sign] digits [. digits] [E [sign] digits], at least one mantissa digit.
// The exponent letter may be written E or e, as BASIC's Val reads it; an E that is not followed
// by digits is not part of the number ("12E" is 12). The value is worked out from the digits
// themselves, never through floating point, so rounding of exact halves is exact and neither
// huge exponents nor very long digit strings can overflow.
std::optional<qint16> convertDecimal(const char *p, const char *end)
{
    bool negative = false;
    if (p != end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }

    // Significant digits (leading zeros dropped) and how many of the mantissa digits stood
    // before the point once those zeros are gone.
    const char *intBegin = p;
    while (p != end && isDigit(*p))
        ++p;
    const char *intEnd = p;
    const char *fracBegin = p;
    const char *fracEnd = p;
    if (p != end && *p == '.') {
        fracBegin = ++p;
        while (p != end && isDigit(*p))
            ++p;
        fracEnd = p;
    }
    if (intBegin == intEnd && fracBegin == fracEnd)
        return qint16(0); // no number at all

    // Exponent, saturated far beyond anything that can still give a 16-bit value.
    constexpr qint64 ExponentLimit = qint64(1) << 40;
    qint64 exponent = 0;
    if (p != end && (*p == 'E' || *p == 'e')) {
        const char *q = p + 1;
        bool expNegative = false;
        if (q != end && (*q == '+' || *q == '-')) {
            expNegative = *q == '-';
            ++q;
        }
        if (q != end && isDigit(*q)) {
            for (; q != end && isDigit(*q); ++q)
                exponent = std::min(exponent * 10 + (*q - '0'), ExponentLimit);
            if (expNegative)
                exponent = -exponent;
        }
    }

    // All mantissa digits as one sequence: digit(i) for i in [0, count).
    const qint64 intCount = intEnd - intBegin;
    const qint64 count = intCount + (fracEnd - fracBegin);
    auto digit = [&](qint64 i) { return i < intCount ? intBegin[i] : fracBegin[i - intCount]; };

    qint64 first = 0;
    while (first < count && digit(first) == '0')
        ++first;
    if (first == count)
        return qint16(0);

    // value = 0.d(first)d(first+1)... * 10^point
    const qint64 point = intCount - first + exponent;
    if (point > 5)
        return std::nullopt; // at least 100000
    if (point < 0)
        return qint16(0); // below 0.1

    qint32 magnitude = 0;
    for (qint64 i = 0; i < point; ++i) {
        const qint64 at = first + i;
        magnitude = magnitude * 10 + (at < count ? digit(at) - '0' : 0);
    }

    // Round half to even on the digits after the integer part.
    const qint64 rest = first + point;
    if (rest < count) {
        const int next = digit(rest) - '0';
        bool up = next > 5;
        if (next == 5) {
            bool moreThanHalf = false;
            for (qint64 i = rest + 1; i < count && !moreThanHalf; ++i)
                moreThanHalf = digit(i) != '0';
            up = moreThanHalf || (magnitude % 2 == 1);
        }
        if (up)
            ++magnitude;
    }

    const qint32 value = negative ? -magnitude : magnitude;
    if (value < Lowest || value > Highest)
        return std::nullopt;
    return qint16(value);
}

} // namespace

std::optional<qint16> convertNumber(const QByteArray &text)
{
    const QByteArray kept = withoutBlanks(text);
    const char *p = kept.constData();
    const char *end = p + kept.size();

    if (end - p >= 2 && p[0] == '&') {
        if (p[1] == 'H' || p[1] == 'h')
            return convertBased(p + 2, end, 16);
        if (p[1] == 'O' || p[1] == 'o')
            return convertBased(p + 2, end, 8);
    }
    return convertDecimal(p, end);
}

} // namespace norvane
