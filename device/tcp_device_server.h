// SPDX-License-Identifier: MIT
#pragma once

#include "device_options.h"
#include "device_session.h"

#include <QString>
#include <cstdio>
#include <functional>
#include <optional>

namespace norvane {

// The virtual device on a TCP port instead of a pseudo-terminal, as a raw serial device server
// would offer a display: it serves one connection at a time and feeds what each brings to the
// same session, so the byte stream is decoded exactly as on a serial line. As a device server
// that kicks the old user (ser2net's kickolduser), a new connection replaces the current one
// once what the current one brought is decoded: a client that connects and sends nothing cannot
// keep the others waiting.
class TcpDeviceServer
{
public:
    TcpDeviceServer() = default;
    ~TcpDeviceServer();
    TcpDeviceServer(const TcpDeviceServer &) = delete;
    TcpDeviceServer &operator=(const TcpDeviceServer &) = delete;

    // What a connection's receive buffer holds at most: what can have arrived when the device
    // is told to end, and is decoded then.
    static constexpr int ReceiveBufferBytes = 64 * 1024;

    // Listens on "HOST:PORT" ("[::1]:PORT" for an IPv6 literal; port 0 takes a free one).
    // Returns false, with errorString() set, on failure.
    bool listen(const QString &hostPort);
    // Where it listens: "tcp://127.0.0.1:40123", "tcp://0.0.0.0:40123".
    QString listeningAddress() const { return m_listening; }
    // The port as the tool names it: the address it listens on, or, for a wildcard (0.0.0.0,
    // [::]), an address of this machine another machine can reach it at; without one, the
    // loopback address and a note that says so.
    QString address() const { return m_address; }
    QString addressNote() const { return m_note; }

    // Serves connections until `stopFd` becomes readable or nothing has happened for
    // `idleSeconds` (no data and no connection). When stopped, it decodes what had arrived by
    // then (on the current connection and on those waiting to be taken), and no more. A
    // connection that fails or is replaced ends with a warning through `warn`; only a failure of
    // the listening socket itself is a ReadError.
    DeviceSession::End run(DeviceSession &session, int stopFd, std::optional<double> idleSeconds,
                           const DeviceSession::LineSink &warn);

    QString errorString() const { return m_error; }

private:
    bool fail(const QString &what);

    int m_fd = -1;
    QString m_listening;
    QString m_address;
    QString m_note;
    QString m_error;
};

// The device program with --tcp: listens, prints where, serves until stopped, then saves and
// prints the summary as on a pseudo-terminal. Returns the exit status.
using PrintLine = std::function<void(std::FILE *stream, const QString &line)>;
int runTcpDevice(const DeviceOptions &options, int stopFd, const PrintLine &printLine);

} // namespace norvane
