// SPDX-License-Identifier: MIT
#include "stream_serial_port.h"

#include <QtGlobal>
#include <cerrno>

namespace norvane {

bool StreamSerialPort::open()
{
    m_open = true;
    m_error.clear();
    return true;
}

bool StreamSerialPort::write(char c)
{
    return (m_open && std::fputc(static_cast<unsigned char>(c), m_stream) != EOF) || fail();
}

bool StreamSerialPort::drain()
{
    return (m_open && std::fflush(m_stream) == 0) || fail();
}

void StreamSerialPort::close()
{
    if (m_open)
        std::fflush(m_stream);
    m_open = false;
}

bool StreamSerialPort::fail()
{
    m_error = m_open && errno != 0 ? qt_error_string(errno) : QString();
    return false;
}

} // namespace norvane
