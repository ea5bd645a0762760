// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>

namespace norvane {

// Entries, message files, setup.ini and the serial line carry one byte per character in
// Windows-1252. The five bytes that code page leaves unassigned (0x81, 0x8D, 0x8F, 0x90, 0x9D)
// map to the C1 control characters of the same value, so every byte value round-trips.

// Decodes bytes to text; never fails.
QString bytesToText(const QByteArray &bytes);

// Whether the character has a byte in the character set.
bool isRepresentable(QChar c);
// Whether every character of the text has a byte in the character set.
bool isRepresentable(const QString &text);

// Encodes text to bytes. A character without a byte becomes '?'; callers that must not lose
// anything check isRepresentable() first.
QByteArray textToBytes(const QString &text);

} // namespace norvane
