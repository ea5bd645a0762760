// SPDX-License-Identifier: MIT
#pragma once

#include <QtGlobal>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace norvane::test {

// A TCP socket bound to a port the system picks on 127.0.0.1, listening with `backlog` when that
// is above 0. Failing to make one ends the test program.
struct LoopbackSocket
{
    int fd = -1;
    quint16 port = 0;
};
inline LoopbackSocket bindLoopback(int backlog)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr *>(&address), length) != 0 ||
        (backlog > 0 && ::listen(fd, backlog) != 0) ||
        ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) != 0)
        qFatal("cannot bind a TCP socket on 127.0.0.1");
    return {fd, ntohs(address.sin_port)};
}

// A TCP port on 127.0.0.1 on which nothing listens at the moment: the system picks a free one for
// a socket that is bound and closed again.
inline quint16 freeLocalPort()
{
    const LoopbackSocket socket = bindLoopback(0);
    ::close(socket.fd);
    return socket.port;
}

} // namespace norvane::test
