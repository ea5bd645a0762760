// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QtGlobal>
#include <optional>

namespace norvane {

// Converts a text to a 16-bit signed integer the forgiving way users type numbers:
// blanks, tabs and line feeds anywhere are ignored; the longest leading decimal number
// (sign, digits, point, exponent) is taken, or the hexadecimal / octal digits after "&H" / "&O";
// a text that does not begin with a number gives 0. The value is rounded half to even.
// Returns nullopt when the result lies outside -32768..32767.
std::optional<qint16> convertNumber(const QByteArray &text);

} // namespace norvane
