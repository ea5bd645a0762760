// SPDX-License-Identifier: MIT
#pragma once

#include <QtGlobal>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace norvane::test {

// A TCP port on 127.0.0.1 on which nothing listens at the moment: the system picks a free one for
// a socket that is bound and closed again.
inline quint16 freeLocalPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr *>(&address), length) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) != 0)
        qFatal("no free TCP port on 127.0.0.1");
    ::close(fd);
    return ntohs(address.sin_port);
}

} // namespace norvane::test
