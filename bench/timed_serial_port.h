// SPDX-License-Identifier: MIT
#pragma once

#include "serial_port.h"

#include <QString>
#include <chrono>
#include <memory>
#include <optional>

namespace norvane {

// Passes everything to the real port and notes when each write call starts: the sender's view
// of the pacing, available whatever is on the other end of the line.
class TimedSerialPort : public SerialPort
{
public:
    using Clock = std::chrono::steady_clock;

    // Gaps between write starts shorter than `expectedGap` are counted.
    TimedSerialPort(SerialPort &port, std::chrono::nanoseconds expectedGap);
    // The same, owning the port.
    TimedSerialPort(std::unique_ptr<SerialPort> port, std::chrono::nanoseconds expectedGap);

    void choosePort(qint16 portNumber) override { m_port.choosePort(portNumber); }
    QString deviceName() const override { return m_port.deviceName(); }
    bool open() override { return m_port.open(); }
    bool isOpen() const override { return m_port.isOpen(); }
    bool write(char c) override;
    Attempt writeWithoutWaiting(char c) override;
    bool drain() override { return m_port.drain(); }
    void close() override { m_port.close(); }
    void setWaitInterruption(const WaitInterruption &interrupted) override
    {
        m_port.setWaitInterruption(interrupted);
    }
    QString errorString() const override { return m_port.errorString(); }

    qint64 writes() const { return m_writes; }
    std::optional<std::chrono::nanoseconds> minGap() const { return m_minGap; }
    qint64 shortGaps() const { return m_shortGaps; }
    // How much the shortest of those fell short.
    std::chrono::nanoseconds largestShortfall() const { return m_largestShortfall; }
    // The writing thread's scheduling policy at the first write.
    QString schedulingWhileWriting() const { return m_scheduling; }

private:
    // Notes a write that starts now.
    void noteStart();

    std::unique_ptr<SerialPort> m_owned;
    SerialPort &m_port;
    QString m_scheduling;
    std::chrono::nanoseconds m_expectedGap;
    Clock::time_point m_lastStart;
    qint64 m_writes = 0;
    qint64 m_shortGaps = 0;
    std::chrono::nanoseconds m_largestShortfall{0};
    std::optional<std::chrono::nanoseconds> m_minGap;
};

} // namespace norvane
