// SPDX-License-Identifier: MIT
#include "field_reader.h"

#include <QIODevice>

#include <algorithm>
#include <cstring>

namespace norvane {

namespace {

constexpr qint64 ChunkSize = 64 * 1024;

} // namespace

FieldReader::FieldReader(QIODevice &device, qsizetype keptLength)
    : m_device(device), m_keptLength(keptLength)
{
}

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
    m_pos = 0;
    m_nextQuote = m_nextComma = m_nextCr = m_nextLf = -1;
    if (got < 0) {
        m_failed = true;
        m_buffer.clear();
        return false;
    }
    m_buffer.resize(got);
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

// The position of the next byte `c` at or after the read position, or the buffer's size when
// there is none. `known` remembers the answer until the read position passes it, so each kind
// of byte is searched for at most once over the buffer however many short fields it holds.
qsizetype FieldReader::next(char c, qsizetype &known)
{
    if (known < m_pos) {
        const char *begin = m_buffer.constData();
        const void *hit = std::memchr(begin + m_pos, c, std::size_t(m_buffer.size() - m_pos));
        known = hit ? static_cast<const char *>(hit) - begin : m_buffer.size();
    }
    return known;
}

void FieldReader::keep(QByteArray &field, const char *begin, qsizetype length) const
{
    const qsizetype room = m_keptLength - field.size();
    if (room > 0)
        field.append(begin, std::min(room, length));
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
        while (fill()) { // a quote never closed runs to the end of the device
            const qsizetype quote = next('"', m_nextQuote);
            keep(field, m_buffer.constData() + m_pos, quote - m_pos);
            m_pos = quote;
            if (quote == m_buffer.size())
                continue;
            takeByte(); // the quote
            if (peekByte() != '"')
                break;
            takeByte();
            keep(field, "\"", 1);
        }
    }

    // Unquoted part (or what follows a closing quote): up to the next separator.
    while (fill()) { // the end of the device also ends the line
        const qsizetype separator =
            std::min({next(',', m_nextComma), next('\r', m_nextCr), next('\n', m_nextLf)});
        keep(field, m_buffer.constData() + m_pos, separator - m_pos);
        m_pos = separator;
        if (separator == m_buffer.size())
            continue;
        const int c = takeByte();
        if (c == ',')
            m_endedLine = false;
        else if (c == '\r' && peekByte() == '\n')
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
