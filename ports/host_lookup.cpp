// SPDX-License-Identifier: MIT
#include "host_lookup.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <netdb.h>
#include <system_error>
#include <thread>

namespace norvane {

HostAddresses resolveHost(const QByteArray &host, quint16 port)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *list = nullptr;
    const int rc =
        ::getaddrinfo(host.constData(), QByteArray::number(port).constData(), &hints, &list);
    HostAddresses result;
    if (rc != 0) {
        result.error = QStringLiteral("The host name could not be looked up: %1.")
                           .arg(QString::fromLocal8Bit(::gai_strerror(rc)));
        return result;
    }
    for (const addrinfo *info = list; info; info = info->ai_next) {
        if (info->ai_addrlen > sizeof(sockaddr_storage))
            continue;
        SocketAddress address;
        address.family = info->ai_family;
        address.type = info->ai_socktype;
        address.protocol = info->ai_protocol;
        std::memcpy(&address.address, info->ai_addr, info->ai_addrlen);
        address.length = info->ai_addrlen;
        result.addresses.push_back(address);
    }
    ::freeaddrinfo(list);
    if (result.addresses.empty())
        result.error = QStringLiteral("The host name has no address to connect to.");
    return result;
}

HostAddresses lookUpHost(const QByteArray &host, quint16 port, std::chrono::milliseconds timeout,
                         const HostResolver &resolver, const std::function<bool()> &interrupted)
{
    // Shared with the helper thread, which may outlive this call.
    struct Lookup
    {
        std::mutex mutex;
        std::condition_variable done;
        bool finished = false;
        HostAddresses result;
    };
    const auto lookup = std::make_shared<Lookup>();
    try {
        std::thread([lookup, resolver, host, port] {
            HostAddresses result = resolver(host, port);
            const std::lock_guard<std::mutex> lock(lookup->mutex);
            lookup->result = std::move(result);
            lookup->finished = true;
            lookup->done.notify_one();
        }).detach();
    } catch (const std::system_error &) {
        HostAddresses result;
        result.error = QStringLiteral("The host name could not be looked up: no thread for it.");
        return result;
    }

    const auto giveUp = std::chrono::steady_clock::now() + timeout;
    constexpr std::chrono::milliseconds Slice(20);
    std::unique_lock<std::mutex> lock(lookup->mutex);
    for (;;) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= giveUp)
            break;
        // With an interruption the wait goes in slices, asking it before each.
        const auto until = interrupted ? std::min(giveUp, now + Slice) : giveUp;
        if (lookup->done.wait_until(lock, until, [&] { return lookup->finished; }))
            return std::move(lookup->result);
        if (interrupted && interrupted()) {
            HostAddresses result;
            result.error = QStringLiteral("The wait was given up: a stop was asked for.");
            return result;
        }
    }
    HostAddresses result;
    result.error = QStringLiteral("Looking up the host name took too long.");
    return result;
}

} // namespace norvane
