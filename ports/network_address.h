// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace norvane {

// A serial port reached over the network, named like a device: "tcp://HOST:PORT" for a raw TCP
// port whose line settings are the server's, "rfc2217://HOST:PORT" for a Telnet port on which
// the line settings are set by us. IPv6 literals go between brackets: "tcp://[::1]:4001".
struct NetworkAddress
{
    enum class Protocol { RawTcp, Rfc2217 };
    Protocol protocol = Protocol::RawTcp;
    QByteArray host; // as handed to the resolver: a name in ASCII or a numeric address
    quint16 port = 0;
};

// True when `device` names a network port (by its "tcp://" or "rfc2217://" prefix, in any case),
// whether or not the rest of it is valid.
bool isNetworkAddress(const QString &device);

// The network port `device` names; nothing when it is not a valid network address.
std::optional<NetworkAddress> parseNetworkAddress(const QString &device);

} // namespace norvane
