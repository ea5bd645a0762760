// SPDX-License-Identifier: MIT
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

// The receive buffer asked for; the system doubles it for its bookkeeping.
constexpr int ReceiveBufferBytes = 16 * 1024;

const char *const Interrupted = "The wait was given up: a stop was asked for.";

// What poll() may wait for `deadline`, in milliseconds, at most `slice` (-1: no limit): 0 once
// it has passed.
int remainingMs(const QDeadlineTimer &deadline, int slice)
{
    qint64 left = deadline.remainingTime();
    if (left < 0) // a deadline that never passes
        left = slice >= 0 ? slice : qint64(1) << 30;
    if (slice >= 0)
        left = std::min<qint64>(left, slice);
    return int(std::min<qint64>(left, 1 << 30));
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

TcpConnection::Wait TcpConnection::waitFor(short events, const QDeadlineTimer &deadline) const
{
    // With an interruption the wait goes in slices, asking it before each.
    const int slice = m_interrupted ? InterruptionCheckMs : -1;
    for (;;) {
        if (m_interrupted && m_interrupted())
            return Wait::Interrupted;
        pollfd ready{m_fd, events, 0};
        const int rc = ::poll(&ready, 1, remainingMs(deadline, slice));
        if (rc < 0 && errno == EINTR)
            continue;
        if (rc < 0)
            return Wait::Failed;
        if (rc > 0)
            return Wait::Ready;
        if (deadline.hasExpired())
            return Wait::TimedOut;
    }
}

bool TcpConnection::failWait(Wait wait, const QString &timedOut)
{
    switch (wait) {
    case Wait::TimedOut:
        return fail(timedOut);
    case Wait::Interrupted:
        return fail(QString::fromLatin1(Interrupted));
    default:
        return failWithErrno(QStringLiteral("The connection was lost"));
    }
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
    // Before connecting, so that the window offered to the server is small from the start.
    const int receiveBuffer = ReceiveBufferBytes;
    if (::setsockopt(m_fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer) != 0)
        return failWithErrno(QStringLiteral("Could not set up the socket"));

    if (::connect(m_fd, reinterpret_cast<const sockaddr *>(&address.address), address.length) == 0)
        return true;
    if (errno != EINPROGRESS && errno != EINTR)
        return failWithErrno(QStringLiteral("Could not connect"));
    const Wait ready = waitFor(POLLOUT, deadline);
    if (ready == Wait::Failed)
        return failWithErrno(QStringLiteral("Could not connect"));
    if (ready != Wait::Ready)
        return failWait(ready, QStringLiteral("The server did not answer in time."));
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
        const Wait ready = waitFor(POLLOUT, deadline);
        if (ready != Wait::Ready)
            return failWait(ready, QStringLiteral("The server has stopped taking data."));
    }
    return true;
}

TcpConnection::Sent TcpConnection::sendWithoutWaiting(const QByteArray &bytes,
                                                      const QDeadlineTimer &deadline)
{
    if (m_fd < 0) {
        fail(QStringLiteral("The connection is not open."));
        return Sent::Failed;
    }
    ssize_t sent = 0;
    do
        sent = ::send(m_fd, bytes.constData(), size_t(bytes.size()), MSG_NOSIGNAL);
    while (sent < 0 && errno == EINTR);
    if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
        return Sent::WouldWait;
    if (sent < 0) {
        failWithErrno(QStringLiteral("The connection was lost"));
        return Sent::Failed;
    }
    return send(bytes.mid(sent), deadline) ? Sent::All : Sent::Failed;
}

bool TcpConnection::receive(QByteArray &bytes, const QDeadlineTimer &deadline, qsizetype most)
{
    if (m_fd < 0)
        return fail(QStringLiteral("The connection is not open."));
    const Wait ready = waitFor(POLLIN, deadline);
    if (ready == Wait::TimedOut)
        return true;
    if (ready != Wait::Ready)
        return failWait(ready, QString());
    char buffer[4096];
    while (most > 0) {
        const ssize_t count =
            ::recv(m_fd, buffer, size_t(std::min<qsizetype>(most, sizeof buffer)), MSG_DONTWAIT);
        if (count > 0) {
            bytes.append(buffer, count);
            most -= count;
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
        if (m_interrupted && m_interrupted())
            return fail(QString::fromLatin1(Interrupted));
        QThread::msleep(1);
    }
}

void TcpConnection::close(const QDeadlineTimer &deadline)
{
    if (m_fd < 0)
        return;
    if (::shutdown(m_fd, SHUT_WR) == 0) {
        char buffer[4096];
        qsizetype left = CloseReadLimit;
        // What is there is read even once the deadline has passed, but no more is waited for.
        while (left > 0 && waitFor(POLLIN, deadline) == Wait::Ready) {
            const ssize_t count = ::recv(
                m_fd, buffer, size_t(std::min<qsizetype>(left, sizeof buffer)), MSG_DONTWAIT);
            if (count == 0 || (count < 0 && errno != EINTR && errno != EAGAIN))
                break;
            if (count > 0)
                left -= count;
            if (deadline.hasExpired())
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
