// SPDX-License-Identifier: MIT
#pragma once

#include "host_lookup.h"
#include "serial_port.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QString>
#include <vector>

namespace norvane {

// A TCP connection on a plain POSIX socket, non-blocking, every wait bounded by a deadline and
// given up when the wait interruption answers true. Nagle's algorithm is off, so each small send
// leaves at once instead of waiting to be bunched with the next. Its receive buffer is small:
// nothing that comes back is of much use, and a peer that sends without end can then push only
// a little at a time. It uses no Qt event machinery and can live on any thread.
class TcpConnection
{
public:
    TcpConnection() = default;
    ~TcpConnection();
    TcpConnection(const TcpConnection &) = delete;
    TcpConnection &operator=(const TcpConnection &) = delete;

    // How often a wait asks the interruption.
    static constexpr int InterruptionCheckMs = 20;
    // What close() reads at most while it waits for the server to close its side.
    static constexpr qsizetype CloseReadLimit = 64 * 1024;

    // From now on every wait also ends when `interrupted` answers true; the call then fails.
    void setWaitInterruption(const WaitInterruption &interrupted) { m_interrupted = interrupted; }

    // Connects to the first of `addresses` that accepts, trying them in turn before `deadline`.
    bool connectTo(const std::vector<SocketAddress> &addresses, const QDeadlineTimer &deadline);
    bool isOpen() const { return m_fd >= 0; }

    // Hands all of `bytes` to the operating system, waiting for room until `deadline`.
    bool send(const QByteArray &bytes, const QDeadlineTimer &deadline);
    // As send(), unless the operating system takes none of `bytes` at once: then nothing is sent
    // and it says so. Once part has gone the rest follows, as send() sends it.
    enum class Sent { All, WouldWait, Failed };
    Sent sendWithoutWaiting(const QByteArray &bytes, const QDeadlineTimer &deadline);

    // Appends to `bytes` what has arrived, at most `most` bytes (the rest waits for the next
    // call), waiting until `deadline` for the first of it (a deadline that has passed: not at
    // all). False when the server has closed the connection or it failed.
    bool receive(QByteArray &bytes, const QDeadlineTimer &deadline, qsizetype most);

    // Waits until the server has acknowledged every byte sent, or until `deadline`.
    bool waitUntilSent(const QDeadlineTimer &deadline);

    // Ends the connection. It says so to the server first and, until `deadline`, reads what
    // still comes until the server closes its side: closing with unread data would reset the
    // connection, and a reset may make the server throw away what it has not passed on yet. A
    // server that sends more than CloseReadLimit meanwhile is not about to close: it is reset.
    void close(const QDeadlineTimer &deadline);

    // Why the last call failed, in plain words.
    QString errorString() const { return m_error; }

private:
    enum class Wait { Ready, TimedOut, Interrupted, Failed };
    // Waits for `events` on the socket until `deadline` or an interruption.
    Wait waitFor(short events, const QDeadlineTimer &deadline) const;
    // Fails for a wait that did not end ready: with `timedOut` when it timed out.
    bool failWait(Wait wait, const QString &timedOut);

    bool connectOne(const SocketAddress &address, const QDeadlineTimer &deadline);
    bool fail(const QString &reason);
    bool failWithErrno(const QString &what);
    void closeNow();

    int m_fd = -1;
    QString m_error;
    WaitInterruption m_interrupted;
};

} // namespace norvane
