// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>
#include <chrono>
#include <functional>
#include <sys/socket.h>
#include <vector>

namespace norvane {

// One address a host name stands for, ready for socket() and connect().
struct SocketAddress
{
    int family = AF_UNSPEC;
    int type = SOCK_STREAM;
    int protocol = 0;
    sockaddr_storage address{};
    socklen_t length = 0;
};

struct HostAddresses
{
    std::vector<SocketAddress> addresses;
    QString error; // why there are none, in plain words; empty on success
};

using HostResolver = std::function<HostAddresses(const QByteArray &host, quint16 port)>;

// The TCP addresses of `host` (a name or a numeric address) with `port`, from the system's
// resolver. It may block for as long as the resolver takes.
HostAddresses resolveHost(const QByteArray &host, quint16 port);

// As `resolver`, but gives up after `timeout`, or as soon as `interrupted` answers true (asked
// every few milliseconds): a resolver can block for a long time when a name server does not
// answer. The lookup runs on a helper thread; when it is given up, it ends on its own later and
// its result is dropped.
HostAddresses lookUpHost(const QByteArray &host, quint16 port, std::chrono::milliseconds timeout,
                         const HostResolver &resolver = resolveHost,
                         const std::function<bool()> &interrupted = {});

} // namespace norvane
