#include "field_reader.h"

#include <QIODevice>

namespace norvane {

namespace {

constexpr qint64 ChunkSize = 64 * 1024;

bool isSeparator(char c)
{
    return c == ',' || c == '\r' || c == '\n';
}

} // namespace

FieldReader::FieldReader(QIODevice &device) : m_device(device) {}

// Makes sure at least one unread byte is buffered. False at the end of the device or after a
// read error (which is remembered: nothing more is read once the device has failed).
bool FieldReader::fill()
{
    if (m_pos < m_buffer.size())
        return true;
    if (m_failed)
        return false;
    m_buffer.resize(ChunkSize);
    const qint64 got = m_device.read(m_buffer.data(), ChunkSize);
    if (got < 0) {
        m_failed = true;
        m_buffer.clear();
        m_pos = 0;
        return false;
    }
    m_buffer.resize(got);
    m_pos = 0;
    return got > 0;
}

int FieldReader::peekByte()
{
    return fill() ? static_cast<unsigned char>(m_buffer.at(m_pos)) : -1;
}

int FieldReader::takeByte()
{
    const int c = peekByte();
    if (c >= 0)
        ++m_pos;
    return c;
}

bool FieldReader::readField(QByteArray &field)
{
    field.clear();
    m_endedLine = true;
    if (peekByte() < 0)
        return false;

    if (peekByte() == '"') {
        takeByte();
        // Quoted part: up to the closing quote; a doubled quote stands for one quote.
        for (;;) {
            if (!fill())
                break; // never closed: the field runs to the end of the device
            const char *begin = m_buffer.constData() + m_pos;
            const char *end = m_buffer.constData() + m_buffer.size();
            const char *p = begin;
            while (p != end && *p != '"')
                ++p;
            field.append(begin, p - begin);
            m_pos += p - begin;
            if (p == end)
                continue;
            takeByte(); // the quote
            if (peekByte() == '"') {
                takeByte();
                field.append('"');
                continue;
            }
            break;
        }
    }

    // Unquoted part (or what follows a closing quote): up to the next separator.
    for (;;) {
        if (!fill())
            break; // the end of the device also ends the line
        const char *begin = m_buffer.constData() + m_pos;
        const char *end = m_buffer.constData() + m_buffer.size();
        const char *p = begin;
        while (p != end && !isSeparator(*p))
            ++p;
        field.append(begin, p - begin);
        m_pos += p - begin;
        if (p == end)
            continue;
        const int separator = takeByte();
        if (separator == ',')
            m_endedLine = false;
        else if (separator == '\r' && peekByte() == '\n')
            takeByte();
        break;
    }

    if (m_failed) {
        field.clear();
        return false;
    }
    return true;
}

} // namespace norvane
