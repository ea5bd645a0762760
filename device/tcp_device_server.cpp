// SPDX-License-Identifier: MIT
#include "tcp_device_server.h"

#include <QUrl>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace norvane {

namespace {

using Clock = std::chrono::steady_clock;

// Connections the system keeps waiting to be taken.
constexpr int Backlog = 4;

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

// The host of a socket address as text: "127.0.0.1", "::1".
QString hostText(const sockaddr *address)
{
    char text[INET6_ADDRSTRLEN] = {};
    if (address->sa_family == AF_INET6)
        ::inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6 *>(address)->sin6_addr, text,
                    sizeof text);
    else
        ::inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in *>(address)->sin_addr, text,
                    sizeof text);
    return QLatin1String(text);
}

// "tcp://127.0.0.1:40123" or "tcp://[::1]:40123".
QString tcpAddress(int family, const QString &host, quint16 port)
{
    return family == AF_INET6 ? QStringLiteral("tcp://[%1]:%2").arg(host).arg(port)
                              : QStringLiteral("tcp://%1:%2").arg(host).arg(port);
}

// An address of this machine in `family` that another machine can reach: of an interface that
// is up, neither the loopback nor (IPv6) link-local, which would need an interface name. Empty
// when there is none.
QString reachableHost(int family)
{
    ifaddrs *list = nullptr;
    if (::getifaddrs(&list) != 0)
        return QString();
    QString host;
    for (const ifaddrs *i = list; i && host.isEmpty(); i = i->ifa_next) {
        if (!i->ifa_addr || i->ifa_addr->sa_family != family || (i->ifa_flags & IFF_UP) == 0 ||
            (i->ifa_flags & IFF_LOOPBACK) != 0)
            continue;
        if (family == AF_INET6 &&
            IN6_IS_ADDR_LINKLOCAL(&reinterpret_cast<const sockaddr_in6 *>(i->ifa_addr)->sin6_addr))
            continue;
        host = hostText(i->ifa_addr);
    }
    ::freeifaddrs(list);
    return host;
}

bool isWildcard(const sockaddr_storage &address)
{
    if (address.ss_family == AF_INET6)
        return IN6_IS_ADDR_UNSPECIFIED(
            &reinterpret_cast<const sockaddr_in6 *>(&address)->sin6_addr);
    return reinterpret_cast<const sockaddr_in *>(&address)->sin_addr.s_addr == htonl(INADDR_ANY);
}

quint16 portOf(const sockaddr_storage &address)
{
    return ntohs(address.ss_family == AF_INET6
                     ? reinterpret_cast<const sockaddr_in6 *>(&address)->sin6_port
                     : reinterpret_cast<const sockaddr_in *>(&address)->sin_port);
}

// Closes a descriptor when it goes.
struct Descriptor
{
    int fd = -1;
    Descriptor() = default;
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    ~Descriptor() { reset(); }
    void reset(int to = -1)
    {
        if (fd >= 0)
            ::close(fd);
        fd = to;
    }
};

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
        // The connections taken inherit it.
        const int receiveBuffer = ReceiveBufferBytes;
        ::setsockopt(m_fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
        if (::bind(m_fd, info->ai_addr, info->ai_addrlen) != 0)
            fail(QStringLiteral("bind"));
        else if (::listen(m_fd, Backlog) != 0)
            fail(QStringLiteral("listen"));
    }
    ::freeaddrinfo(list);
    if (m_fd < 0)
        return false;
    sockaddr_storage bound{};
    socklen_t length = sizeof bound;
    if (::getsockname(m_fd, reinterpret_cast<sockaddr *>(&bound), &length) != 0)
        return fail(QStringLiteral("getsockname"));
    const int family = bound.ss_family;
    const quint16 port = portOf(bound);
    const QString host = hostText(reinterpret_cast<const sockaddr *>(&bound));
    m_listening = tcpAddress(family, host, port);
    m_address = m_listening;
    m_note.clear();
    if (isWildcard(bound)) {
        // Every address of this machine: another machine needs one of them.
        m_listening += QStringLiteral(" (every address of this machine)");
        const QString reachable = reachableHost(family);
        const QString loopback =
            family == AF_INET6 ? QStringLiteral("::1") : QStringLiteral("127.0.0.1");
        m_address = tcpAddress(family, reachable.isEmpty() ? loopback : reachable, port);
        if (reachable.isEmpty())
            m_note = QStringLiteral("note: %1 reaches the device from this machine only (it has no "
                                    "other address); from another machine use an address that "
                                    "reaches this one")
                         .arg(loopback);
    }
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
    Descriptor connection; // the one served, if any
    char buffer[4096];

    for (;;) {
        int timeoutMs = -1;
        if (idle) {
            const auto left = lastActivity + *idle - Clock::now();
            if (left <= Clock::duration::zero())
                return DeviceSession::End::Idle;
            timeoutMs = int(std::ceil(std::chrono::duration<double, std::milli>(left).count()));
        }
        // A descriptor of -1 is left out by poll().
        pollfd fds[3] = {{m_fd, POLLIN, 0}, {connection.fd, POLLIN, 0}, {stopFd, POLLIN, 0}};
        if (::poll(fds, 3, timeoutMs) < 0) {
            if (errno == EINTR)
                continue;
            fail(QStringLiteral("poll"));
            return DeviceSession::End::ReadError;
        }
        if (stopFd >= 0 && fds[2].revents != 0) {
            // What had arrived counts, also from the connections not taken yet, in turn.
            const auto giveUp = Clock::now() + DeviceSession::ArrivedTime;
            if (connection.fd >= 0)
                session.takeArrived(connection.fd, giveUp);
            for (int waiting = 0; waiting <= Backlog; ++waiting) {
                connection.reset(::accept4(m_fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
                if (connection.fd < 0)
                    break;
                session.takeArrived(connection.fd, giveUp);
            }
            return DeviceSession::End::Stopped;
        }

        if (connection.fd >= 0 && fds[1].revents != 0) {
            const auto now = Clock::now();
            const ssize_t count = ::read(connection.fd, buffer, sizeof buffer);
            if (count > 0) {
                lastActivity = now;
                session.receive(buffer, count, now.time_since_epoch());
            } else if (count == 0) {
                connection.reset();
                lastActivity = now;
            } else if (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK) {
                warn(QStringLiteral("warning: connection ended: read: %1").arg(systemError()));
                connection.reset();
                lastActivity = now;
            }
        }

        if (fds[0].revents != 0) {
            const int taken = ::accept4(m_fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
            if (taken < 0) {
                // A client that gave up before it was taken, or a signal: wait for the next one.
                if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK ||
                    errno == ECONNABORTED)
                    continue;
                fail(QStringLiteral("accept"));
                return DeviceSession::End::ReadError;
            }
            if (connection.fd >= 0) {
                session.takeArrived(connection.fd, Clock::now() + DeviceSession::ArrivedTime);
                warn(QStringLiteral("warning: a new connection replaces the one before"));
            }
            connection.reset(taken);
            lastActivity = Clock::now();
        }
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
    printLine(stdout,
              QStringLiteral("norvane-device listening on %1").arg(server.listeningAddress()));
    printLine(stdout, QStringLiteral("[Ports],%1").arg(server.address()));
    if (!server.addressNote().isEmpty())
        printLine(stdout, server.addressNote());

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
