// SPDX-License-Identifier: MIT
// Converts arbitrary texts to numbers and checks properties that must hold for every text, and,
// for plain decimals with few digits, the value itself against a second, much simpler reckoning.

#include "number_conversion.h"

#include <cstdint>
#include <cstdlib>
#include <optional>

using namespace norvane;

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// The value of a text that is nothing but a plain decimal, [sign] digits [. digits] with at most
// 18 digits in all, blanks, tabs and line feeds aside: the digits as one integer over a power of
// ten, rounded half to even by integer division. Nullopt for every other text, and `outside`
// set when the value does not fit in 16 bits.
std::optional<qint16> plainDecimal(const QByteArray &text, bool &outside)
{
    outside = false;
    bool negative = false;
    bool signAllowed = true;
    bool pointSeen = false;
    int digits = 0;
    int fractionDigits = 0;
    qint64 all = 0; // every digit, the point left out
    for (char c : text) {
        if (c == ' ' || c == '\t' || c == '\n')
            continue;
        if (signAllowed && (c == '+' || c == '-')) {
            negative = c == '-';
        } else if (c == '.' && !pointSeen) {
            pointSeen = true;
        } else if (isDigit(c) && digits < 18) {
            all = all * 10 + (c - '0');
            ++digits;
            fractionDigits += pointSeen;
        } else {
            return std::nullopt;
        }
        signAllowed = false;
    }
    if (digits == 0)
        return std::nullopt;

    qint64 scale = 1;
    for (int i = 0; i < fractionDigits; ++i)
        scale *= 10;
    qint64 whole = all / scale;
    const qint64 twiceRest = 2 * (all % scale); // below 2 * 10^18, so no overflow
    if (twiceRest > scale || (twiceRest == scale && whole % 2 == 1))
        ++whole;
    if (negative)
        whole = -whole;
    if (whole < -32768 || whole > 32767) {
        outside = true;
        return std::nullopt;
    }
    return qint16(whole);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray text(reinterpret_cast<const char *>(data), qsizetype(size));
    const std::optional<qint16> value = convertNumber(text);

    bool outside = false;
    if (const std::optional<qint16> expected = plainDecimal(text, outside))
        check(value == expected);
    else if (outside)
        check(!value);

    if (value) {
        // The number written back in decimal converts to itself.
        check(convertNumber(QByteArray::number(*value)) == value);
    }
    // Blanks, tabs and line feeds do not count anywhere.
    QByteArray spaced;
    for (char c : text)
        spaced += c + QByteArray(" \t\n");
    check(convertNumber(spaced) == value);
    // An "x" ends every form of number, so nothing after it can matter.
    check(convertNumber(text + "x" + text) == value);
    return 0;
}
