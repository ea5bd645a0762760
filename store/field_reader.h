#pragma once

#include <QByteArray>

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
class FieldReader
{
public:
    explicit FieldReader(QIODevice &device);

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

    QIODevice &m_device;
    QByteArray m_buffer;
    qsizetype m_pos = 0;
    bool m_failed = false;
    bool m_endedLine = true;
};

} // namespace norvane
