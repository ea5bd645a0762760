#pragma once

#include "device_options.h"
#include "device_session.h"

#include <QString>
#include <cstdio>
#include <functional>
#include <optional>

namespace norvane {

// The virtual device on a TCP port instead of a pseudo-terminal, as a raw serial device server
// would offer a display: it takes one connection after another and feeds what each brings to
// the same session, so the byte stream is decoded exactly as on a serial line.
class TcpDeviceServer
{
public:
    TcpDeviceServer() = default;
    ~TcpDeviceServer();
    TcpDeviceServer(const TcpDeviceServer &) = delete;
    TcpDeviceServer &operator=(const TcpDeviceServer &) = delete;

    // Listens on "HOST:PORT" ("[::1]:PORT" for an IPv6 literal; port 0 takes a free one).
    // Returns false, with errorString() set, on failure.
    bool listen(const QString &hostPort);
    // Where it listens, as the tool names the port: "tcp://127.0.0.1:40123".
    QString address() const { return m_address; }

    // Serves connections until `stopFd` becomes readable or nothing has happened for
    // `idleSeconds` (no data and no connection). A connection that fails ends with a warning
    // through `warn`; only a failure of the listening socket itself is a ReadError.
    DeviceSession::End run(DeviceSession &session, int stopFd, std::optional<double> idleSeconds,
                           const DeviceSession::LineSink &warn);

    QString errorString() const { return m_error; }

private:
    bool fail(const QString &what);

    int m_fd = -1;
    QString m_address;
    QString m_error;
};

// The device program with --tcp: listens, prints where, serves until stopped, then saves and
// prints the summary as on a pseudo-terminal. Returns the exit status.
using PrintLine = std::function<void(std::FILE *stream, const QString &line)>;
int runTcpDevice(const DeviceOptions &options, int stopFd, const PrintLine &printLine);

} // namespace norvane
