// SPDX-License-Identifier: MIT
#include "pseudo_terminal.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace norvane {

PseudoTerminal::~PseudoTerminal()
{
    closeAll();
}

bool PseudoTerminal::open()
{
    closeAll();
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (m_master < 0)
        return fail("posix_openpt");
    if (::grantpt(m_master) != 0)
        return fail("grantpt");
    if (::unlockpt(m_master) != 0)
        return fail("unlockpt");
    const char *name = ::ptsname(m_master);
    if (!name)
        return fail("ptsname");
    m_slavePath = QString::fromLocal8Bit(name);

    m_slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_slave < 0)
        return fail("open slave");

    // Raw 8-bit line at 9600 baud, like the device's serial line: without this the slave's line
    // discipline would turn LF into CR LF and the bytes read would not be the bytes written.
    termios settings{};
    if (::tcgetattr(m_slave, &settings) != 0)
        return fail("tcgetattr");
    ::cfmakeraw(&settings);
    ::cfsetispeed(&settings, B9600);
    ::cfsetospeed(&settings, B9600);
    if (::tcsetattr(m_slave, TCSANOW, &settings) != 0)
        return fail("tcsetattr");

    const int flags = ::fcntl(m_master, F_GETFL);
    if (flags < 0 || ::fcntl(m_master, F_SETFL, flags | O_NONBLOCK) != 0)
        return fail("fcntl");
    if (::fcntl(m_master, F_SETFD, FD_CLOEXEC) != 0)
        return fail("fcntl");
    return true;
}

bool PseudoTerminal::fail(const char *what)
{
    m_error = QStringLiteral("%1: %2").arg(QLatin1String(what),
                                           QString::fromLocal8Bit(std::strerror(errno)));
    closeAll();
    return false;
}

void PseudoTerminal::closeAll()
{
    if (m_slave >= 0)
        ::close(m_slave);
    if (m_master >= 0)
        ::close(m_master);
    m_slave = -1;
    m_master = -1;
    m_slavePath.clear();
}

} // namespace norvane
