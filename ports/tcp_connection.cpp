#include "tcp_connection.h"

#include <QThread>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace norvane {

namespace {

// What poll() may wait for `deadline`, in milliseconds: 0 once it has passed.
int remainingMs(const QDeadlineTimer &deadline)
{
    const qint64 left = deadline.remainingTime();
    if (left < 0) // a deadline that never passes
        return -1;
    return int(std::min<qint64>(left, 1 << 30));
}

// Waits for `events` on `fd` until `deadline`. Returns the events that happened, 0 on timeout,
// -1 on failure.
int waitFor(int fd, short events, const QDeadlineTimer &deadline)
{
    for (;;) {
        pollfd ready{fd, events, 0};
        const int rc = ::poll(&ready, 1, remainingMs(deadline));
        if (rc < 0 && errno == EINTR)
            continue;
        return rc <= 0 ? rc : ready.revents;
    }
}

// The system's words for an error number; unlike strerror() safe on any thread.
QString systemError(int error)
{
    return qt_error_string(error);
}

} // namespace

TcpConnection::~TcpConnection()
{
    closeNow();
}

bool TcpConnection::connectTo(const std::vector<SocketAddress> &addresses,
                              const QDeadlineTimer &deadline)
{
    closeNow();
    m_error = QStringLiteral("The host name has no address to connect to.");
    for (const SocketAddress &address : addresses) {
        if (connectOne(address, deadline))
            return true;
        if (deadline.hasExpired())
            break;
    }
    return false;
}

bool TcpConnection::connectOne(const SocketAddress &address, const QDeadlineTimer &deadline)
{
    m_fd = ::socket(address.family, address.type | SOCK_NONBLOCK | SOCK_CLOEXEC, address.protocol);
    if (m_fd < 0)
        return failWithErrno(QStringLiteral("Could not create a socket"));
    const int on = 1;
    if (::setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on) != 0)
        return failWithErrno(QStringLiteral("Could not set up the socket"));

    if (::connect(m_fd, reinterpret_cast<const sockaddr *>(&address.address), address.length) == 0)
        return true;
    if (errno != EINPROGRESS && errno != EINTR)
        return failWithErrno(QStringLiteral("Could not connect"));
    const int ready = waitFor(m_fd, POLLOUT, deadline);
    if (ready == 0)
        return fail(QStringLiteral("The server did not answer in time."));
    if (ready < 0)
        return failWithErrno(QStringLiteral("Could not connect"));
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
        return failWithErrno(QStringLiteral("Could not connect"));
    if (error == ECONNREFUSED)
        return fail(QStringLiteral("Nothing accepts connections at that address (connection "
                                   "refused)."));
    if (error != 0)
        return fail(QStringLiteral("Could not connect: %1.").arg(systemError(error)));
    return true;
}

bool TcpConnection::send(const QByteArray &bytes, const QDeadlineTimer &deadline)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        if (m_fd < 0)
            return fail(QStringLiteral("The connection is not open."));
        // MSG_NOSIGNAL: a connection the server has dropped is an error here, not SIGPIPE.
        const ssize_t sent =
            ::send(m_fd, bytes.constData() + done, size_t(bytes.size() - done), MSG_NOSIGNAL);
        if (sent > 0) {
            done += sent;
            continue;
        }
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            return failWithErrno(QStringLiteral("The connection was lost"));
        const int ready = waitFor(m_fd, POLLOUT, deadline);
        if (ready == 0)
            return fail(QStringLiteral("The server has stopped taking data."));
        if (ready < 0)
            return failWithErrno(QStringLiteral("The connection was lost"));
    }
    return true;
}

bool TcpConnection::receive(QByteArray &bytes, const QDeadlineTimer &deadline)
{
    if (m_fd < 0)
        return fail(QStringLiteral("The connection is not open."));
    const int ready = waitFor(m_fd, POLLIN, deadline);
    if (ready < 0)
        return failWithErrno(QStringLiteral("The connection was lost"));
    if (ready == 0)
        return true;
    char buffer[4096];
    // Everything that is there now, but not for ever should the server never stop sending.
    for (int round = 0; round < 16; ++round) {
        const ssize_t count = ::recv(m_fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (count > 0) {
            bytes.append(buffer, count);
            continue;
        }
        if (count == 0)
            return fail(QStringLiteral("The server closed the connection."));
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            break;
        return failWithErrno(QStringLiteral("The connection was lost"));
    }
    return true;
}

bool TcpConnection::waitUntilSent(const QDeadlineTimer &deadline)
{
    for (;;) {
        if (m_fd < 0)
            return fail(QStringLiteral("The connection is not open."));
        int error = 0;
        socklen_t length = sizeof error;
        if (::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
            return failWithErrno(QStringLiteral("The connection was lost"));
        if (error != 0)
            return fail(QStringLiteral("The connection was lost: %1.").arg(systemError(error)));
#ifdef Q_OS_LINUX
        // On a TCP socket this counts the bytes the server has not acknowledged yet.
        int pending = 0;
        if (::ioctl(m_fd, TIOCOUTQ, &pending) != 0)
            return failWithErrno(QStringLiteral("The connection was lost"));
        if (pending == 0)
            return true;
#else
        return true;
#endif
        if (deadline.hasExpired())
            return fail(QStringLiteral("The server did not take the last characters in time."));
        QThread::msleep(1);
    }
}

void TcpConnection::close(const QDeadlineTimer &deadline)
{
    if (m_fd < 0)
        return;
    if (::shutdown(m_fd, SHUT_WR) == 0) {
        char buffer[4096];
        while (waitFor(m_fd, POLLIN, deadline) > 0) {
            const ssize_t count = ::recv(m_fd, buffer, sizeof buffer, MSG_DONTWAIT);
            if (count == 0 || (count < 0 && errno != EINTR && errno != EAGAIN))
                break;
        }
    }
    closeNow();
}

void TcpConnection::closeNow()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

bool TcpConnection::fail(const QString &reason)
{
    m_error = reason;
    closeNow();
    return false;
}

bool TcpConnection::failWithErrno(const QString &what)
{
    return fail(QStringLiteral("%1: %2.").arg(what, systemError(errno)));
}

} // namespace norvane
