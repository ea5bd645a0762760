// SPDX-License-Identifier: MIT
#pragma once

#include "device_options.h"
#include "message_table.h"
#include "pair_decoder.h"

#include <QString>
#include <chrono>
#include <functional>

namespace norvane {

// What the virtual device does with the bytes it receives: decodes them, shows each message,
// warns about characters that came too close together and keeps the table of what arrived.
class DeviceSession
{
public:
    using LineSink = std::function<void(const QString &line)>;

    enum class End {
        Stopped,   // the stop descriptor became readable
        Idle,      // no data for the idle time
        ReadError, // reading the line failed (see errorString())
        Closed     // the sender closed the line (a network connection ending)
    };

    DeviceSession(const DeviceOptions &options, LineSink print);

    // Reads from `fd` (non-blocking) until `stopFd` becomes readable, the idle time has passed,
    // the sender closes the line or a read fails. Bytes that come in one read count as arriving
    // together.
    End run(int fd, int stopFd);

    // How long a line that is to end may take to hand over what had arrived.
    static constexpr std::chrono::milliseconds ArrivedTime{500};

    // Decodes what has arrived on `fd` (non-blocking) by now, for a line that is to end: a
    // sender that keeps sending cannot hold it up past `giveUp` (nor for more than a MiB).
    void takeArrived(int fd, std::chrono::steady_clock::time_point giveUp);

    // Decodes bytes that arrived at `at`: shows the messages they complete and the short gaps.
    void receive(const char *bytes, qsizetype count, ArrivalTime at);

    // The line has ended; an incomplete pair counts as skipped.
    void finish() { m_decoder.finish(); }

    // Writes the received table as a message file; entries never received stay empty.
    bool save(const QString &fileName) const;

    // "summary: messages 3, bytes 111, skipped bytes 0, short gaps 0, min gap 10.004 ms"
    QString summaryLine() const;

    const MessageTable &received() const { return m_received; }
    const PairDecoder &decoder() const { return m_decoder; }
    QString errorString() const { return m_error; }

private:
    DeviceOptions m_options;
    LineSink m_print;
    PairDecoder m_decoder;
    MessageTable m_received;
    QString m_error;
};

} // namespace norvane
