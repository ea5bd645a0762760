// SPDX-License-Identifier: MIT
#pragma once

#include "host_lookup.h"
#include "network_address.h"
#include "serial_port.h"
#include "tcp_connection.h"
#include "telnet_codec.h"

#include <chrono>
#include <optional>

namespace norvane {

// How long each step of a network port may take.
struct NetworkPortLimits
{
    // Looking up the name, connecting and setting the line, together.
    std::chrono::milliseconds open{5000};
    // One character waiting for the server to take data again.
    std::chrono::milliseconds write{10000};
    // The server acknowledging the last characters.
    std::chrono::milliseconds drain{5000};
    // The server closing its side after ours.
    std::chrono::milliseconds close{1000};
};

// The serial line on a serial device server, reached over TCP by an address such as
// "tcp://displays.local:4001" or "rfc2217://10.0.0.5:2217" (see network_address.h).
//
// On a raw TCP port the bytes go to the line as they are and the line settings are the
// server's. On an RFC 2217 port opening also sets the line to 9600 8N1 without flow control
// and fails when the server does not take those settings; byte 255 is escaped on the way.
// Each character is sent on its own as soon as it is written. What the server sends meanwhile
// is read at most InputSlice bytes per character, so a server that sends without end costs
// each character a bounded amount of work.
class NetworkSerialPort : public SerialPort
{
public:
    static constexpr qsizetype InputSlice = 1024;

    explicit NetworkSerialPort(const QString &address, const NetworkPortLimits &limits = {},
                               HostResolver resolver = resolveHost);
    ~NetworkSerialPort() override;

    // The address is the port; the number has no say.
    void choosePort(qint16) override {}
    QString deviceName() const override { return m_address; }
    bool open() override;
    bool isOpen() const override { return m_connection.isOpen(); }
    bool write(char c) override;
    Attempt writeWithoutWaiting(char c) override;
    bool drain() override;
    void close() override;
    void setWaitInterruption(const WaitInterruption &interrupted) override;
    QString errorString() const override { return m_error; }

    // On an RFC 2217 port, the line as the server reported it while the port was opened.
    TelnetCodec::ReportedLine reportedLine() const;

private:
    bool setUpLine(const QDeadlineTimer &deadline);
    bool takeInput();
    bool fail(const QString &reason);

    QString m_address;
    NetworkPortLimits m_limits;
    HostResolver m_resolver;
    TcpConnection m_connection;
    WaitInterruption m_interrupted;
    std::optional<TelnetCodec> m_telnet; // on RFC 2217 ports only
    QString m_error;
};

} // namespace norvane
