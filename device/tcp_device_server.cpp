#include "tcp_device_server.h"

#include <QUrl>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace norvane {

namespace {

using Clock = std::chrono::steady_clock;

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

// "127.0.0.1:40123" or "[::1]:40123" for the socket's own address.
QString hostPort(int fd)
{
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) != 0)
        return QString();
    char text[INET6_ADDRSTRLEN] = {};
    if (address.ss_family == AF_INET6) {
        const auto *in6 = reinterpret_cast<const sockaddr_in6 *>(&address);
        ::inet_ntop(AF_INET6, &in6->sin6_addr, text, sizeof text);
        return QStringLiteral("[%1]:%2").arg(QLatin1String(text)).arg(ntohs(in6->sin6_port));
    }
    const auto *in4 = reinterpret_cast<const sockaddr_in *>(&address);
    ::inet_ntop(AF_INET, &in4->sin_addr, text, sizeof text);
    return QStringLiteral("%1:%2").arg(QLatin1String(text)).arg(ntohs(in4->sin_port));
}

} // namespace

TcpDeviceServer::~TcpDeviceServer()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool TcpDeviceServer::listen(const QString &hostPort)
{
    const QUrl url(QStringLiteral("tcp://") + hostPort, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty() || url.port() < 0 || !url.path().isEmpty()) {
        m_error = QStringLiteral("not an address of the form HOST:PORT: %1").arg(hostPort);
        return false;
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE;
    addrinfo *list = nullptr;
    const int rc = ::getaddrinfo(url.host(QUrl::FullyEncoded).toLatin1().constData(),
                                 QByteArray::number(url.port()).constData(), &hints, &list);
    if (rc != 0) {
        m_error =
            QStringLiteral("%1: %2").arg(url.host(), QString::fromLocal8Bit(gai_strerror(rc)));
        return false;
    }
    m_error = QStringLiteral("no address to listen on");
    for (const addrinfo *info = list; info && m_fd < 0; info = info->ai_next) {
        m_fd = ::socket(info->ai_family, info->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                        info->ai_protocol);
        if (m_fd < 0) {
            fail(QStringLiteral("socket"));
            continue;
        }
        const int on = 1;
        ::setsockopt(m_fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        if (::bind(m_fd, info->ai_addr, info->ai_addrlen) != 0)
            fail(QStringLiteral("bind"));
        else if (::listen(m_fd, 4) != 0)
            fail(QStringLiteral("listen"));
    }
    ::freeaddrinfo(list);
    if (m_fd < 0)
        return false;
    m_address = QStringLiteral("tcp://") + norvane::hostPort(m_fd);
    m_error.clear();
    return true;
}

bool TcpDeviceServer::fail(const QString &what)
{
    m_error = QStringLiteral("%1: %2").arg(what, systemError());
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    return false;
}

DeviceSession::End TcpDeviceServer::run(DeviceSession &session, int stopFd,
                                        std::optional<double> idleSeconds,
                                        const DeviceSession::LineSink &warn)
{
    std::optional<Clock::duration> idle;
    if (idleSeconds)
        idle = std::chrono::duration_cast<Clock::duration>(
            std::chrono::duration<double>(*idleSeconds));
    auto lastActivity = Clock::now();

    for (;;) {
        int timeoutMs = -1;
        if (idle) {
            const auto left = lastActivity + *idle - Clock::now();
            if (left <= Clock::duration::zero())
                return DeviceSession::End::Idle;
            timeoutMs = int(std::ceil(std::chrono::duration<double, std::milli>(left).count()));
        }
        pollfd fds[2] = {{m_fd, POLLIN, 0}, {stopFd, POLLIN, 0}};
        const int ready = ::poll(fds, stopFd >= 0 ? 2 : 1, timeoutMs);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            fail(QStringLiteral("poll"));
            return DeviceSession::End::ReadError;
        }
        if (stopFd >= 0 && fds[1].revents != 0)
            return DeviceSession::End::Stopped;
        if (fds[0].revents == 0)
            continue;

        const int connection = ::accept4(m_fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (connection < 0) {
            // A client that gave up before it was taken, or a signal: wait for the next one.
            if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK || errno == ECONNABORTED)
                continue;
            fail(QStringLiteral("accept"));
            return DeviceSession::End::ReadError;
        }
        const DeviceSession::End end = session.run(connection, stopFd);
        ::close(connection);
        lastActivity = Clock::now();
        if (end == DeviceSession::End::ReadError)
            warn(QStringLiteral("warning: connection ended: ") + session.errorString());
        else if (end != DeviceSession::End::Closed)
            return end;
    }
}

int runTcpDevice(const DeviceOptions &options, int stopFd, const PrintLine &printLine)
{
    TcpDeviceServer server;
    if (!server.listen(options.tcpAddress)) {
        printLine(stderr, QStringLiteral("norvane-device: cannot listen on %1: %2")
                              .arg(options.tcpAddress, server.errorString()));
        return 1;
    }
    printLine(stdout, QStringLiteral("norvane-device listening on %1").arg(server.address()));
    printLine(stdout, QStringLiteral("[Ports],%1").arg(server.address()));

    const auto print = [&](const QString &line) { printLine(stdout, line); };
    DeviceSession session(options, print);
    int status = 0;
    if (server.run(session, stopFd, options.idleSeconds, print) == DeviceSession::End::ReadError) {
        printLine(stderr, QStringLiteral("norvane-device: ") + server.errorString());
        status = 1;
    }
    session.finish();
    if (!options.saveFile.isEmpty() && !session.save(options.saveFile)) {
        printLine(stderr, QStringLiteral("norvane-device: cannot write %1").arg(options.saveFile));
        status = 1;
    }
    printLine(stdout, session.summaryLine());
    return status;
}

} // namespace norvane
