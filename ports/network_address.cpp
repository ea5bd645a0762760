// SPDX-License-Identifier: MIT
#include "network_address.h"

#include <QUrl>

namespace norvane {

namespace {

const QLatin1String RawTcpScheme("tcp");
const QLatin1String Rfc2217Scheme("rfc2217");

} // namespace

bool isNetworkAddress(const QString &device)
{
    return device.startsWith(RawTcpScheme + QLatin1String("://"), Qt::CaseInsensitive) ||
           device.startsWith(Rfc2217Scheme + QLatin1String("://"), Qt::CaseInsensitive);
}

std::optional<NetworkAddress> parseNetworkAddress(const QString &device)
{
    if (!isNetworkAddress(device))
        return std::nullopt;
    // QUrl takes care of bracketed IPv6 literals and of international host names, which it
    // turns into the ASCII form a resolver understands.
    const QUrl url(device, QUrl::StrictMode);
    if (!url.isValid() || url.port() < 1 || url.host().isEmpty() || !url.userInfo().isEmpty() ||
        url.hasQuery() || url.hasFragment() || (!url.path().isEmpty() && url.path() != "/"))
        return std::nullopt;

    NetworkAddress address;
    address.protocol = url.scheme() == Rfc2217Scheme ? NetworkAddress::Protocol::Rfc2217
                                                     : NetworkAddress::Protocol::RawTcp;
    address.host = url.host(QUrl::FullyEncoded).toLatin1();
    address.port = quint16(url.port());
    return address;
}

} // namespace norvane
