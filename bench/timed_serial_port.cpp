// SPDX-License-Identifier: MIT
#include "timed_serial_port.h"

#include "pacing_priority.h"

#include <algorithm>

namespace norvane {

TimedSerialPort::TimedSerialPort(SerialPort &port, std::chrono::nanoseconds expectedGap)
    : m_port(port), m_expectedGap(expectedGap)
{
}

TimedSerialPort::TimedSerialPort(std::unique_ptr<SerialPort> port,
                                 std::chrono::nanoseconds expectedGap)
    : m_owned(std::move(port)), m_port(*m_owned), m_expectedGap(expectedGap)
{
}

bool TimedSerialPort::write(char c)
{
    noteStart();
    return m_port.write(c);
}

SerialPort::Attempt TimedSerialPort::writeWithoutWaiting(char c)
{
    const Clock::time_point before = m_lastStart;
    noteStart();
    const Attempt attempt = m_port.writeWithoutWaiting(c);
    // Nothing was written: the write that follows, on the port's own thread, is the one timed.
    if (attempt == Attempt::WouldWait) {
        --m_writes;
        m_lastStart = before;
    }
    return attempt;
}

void TimedSerialPort::noteStart()
{
    const Clock::time_point start = Clock::now();
    if (m_writes == 0) {
        m_scheduling = currentScheduling();
    } else {
        const std::chrono::nanoseconds gap = start - m_lastStart;
        if (!m_minGap || gap < *m_minGap)
            m_minGap = gap;
        if (gap < m_expectedGap) {
            ++m_shortGaps;
            m_largestShortfall = std::max(m_largestShortfall, m_expectedGap - gap);
        }
    }
    m_lastStart = start;
    ++m_writes;
}

} // namespace norvane
