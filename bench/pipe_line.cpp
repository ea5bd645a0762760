// SPDX-License-Identifier: MIT
#include "pipe_line.h"

#include "stream_serial_port.h"

#include <QtGlobal>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace norvane {

PipeLine::~PipeLine()
{
    if (m_write)
        std::fclose(m_write);
    if (m_read >= 0)
        ::close(m_read);
}

bool PipeLine::open()
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        m_error = qt_error_string(errno);
        return false;
    }
    m_read = fds[0];
    if (::fcntl(m_read, F_SETFL, O_NONBLOCK) != 0) {
        m_error = qt_error_string(errno);
        ::close(fds[1]);
        return false;
    }
    m_write = ::fdopen(fds[1], "w");
    // Unbuffered: every character is a write(2) of its own, as on the line.
    if (!m_write || std::setvbuf(m_write, nullptr, _IONBF, 0) != 0) {
        m_error = qt_error_string(errno);
        if (!m_write)
            ::close(fds[1]);
        return false;
    }
    return true;
}

std::unique_ptr<SerialPort> PipeLine::port() const
{
    return std::make_unique<StreamSerialPort>(m_write, QStringLiteral("pipe"));
}

} // namespace norvane
