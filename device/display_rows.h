// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QStringList>

namespace norvane {

// The two display lines of a received message as the display shows them, for a terminal:
//   "007 |HELLO           |"
//   "    |WORLD           |"
// Characters 1..16 of the text are the upper line, 17..32 the lower one. Control characters,
// which the display has no glyph for, appear as the matching control picture (CR as U+240D).
QStringList displayRows(int number, const QByteArray &text);

} // namespace norvane
