// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <limits>

class QIODevice;

namespace norvane {

// Reads comma- and line-separated fields from an open device (message files, setup.ini).
//
// - Commas, CR, LF and CR LF end a field; an empty line gives an empty field.
// - Blanks around an unquoted field are kept; a double quote inside an unquoted field is an
//   ordinary character.
// - A field that begins with a double quote runs to the closing quote; commas and line ends
//   between the quotes belong to the field, two double quotes in a row stand for one, and
//   characters between the closing quote and the next separator are appended. A quote that is
//   never closed runs to the end of the device.
// - Asking for a field when no byte is left, or when the device fails, is the failure.
//
// Every field is read to its end, but only its first `keptLength` bytes are kept, so a field
// without an end in sight (a huge file with no separator) costs no more memory than that.
class FieldReader
{
public:
    static constexpr qsizetype WholeField = std::numeric_limits<qsizetype>::max();

    explicit FieldReader(QIODevice &device, qsizetype keptLength = WholeField);

    // Reads the next field into `field`. Returns false on failure (nothing left, read error);
    // `field` is then empty.
    bool readField(QByteArray &field);

    // Whether the field last read was ended by a line end or by the end of the device rather
    // than by a comma.
    bool lastFieldEndedLine() const { return m_endedLine; }

private:
    bool fill();
    int peekByte();
    int takeByte();
    qsizetype next(char c, qsizetype &known);
    void keep(QByteArray &field, const char *begin, qsizetype length) const;

    QIODevice &m_device;
    const qsizetype m_keptLength;
    QByteArray m_buffer;
    qsizetype m_pos = 0;
    // Where the next quote, comma, CR and LF of the buffer were last found (see next()).
    qsizetype m_nextQuote = -1;
    qsizetype m_nextComma = -1;
    qsizetype m_nextCr = -1;
    qsizetype m_nextLf = -1;
    bool m_failed = false;
    bool m_endedLine = true;
};

} // namespace norvane
