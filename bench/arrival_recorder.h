// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <chrono>
#include <optional>
#include <thread>

namespace norvane {

// Reads a descriptor on a thread of its own, standing in for the device at the far end of a
// line. By default it collects what has arrived every few milliseconds, on its own timer; with
// `timeArrivals` it waits on the descriptor and notes what arrived when (the receiver's view of
// the pacing; bytes that come in one read count as arriving together, gap 0). A reader woken by
// every character is woken from the writer's processor, and on a virtual machine that wake-up
// of an idle processor can hold up the writer itself by milliseconds.
class ArrivalRecorder
{
public:
    // How often the reader collects when it does not time the arrivals.
    static constexpr int CollectEveryMs = 5;

    explicit ArrivalRecorder(int fd, bool timeArrivals = false);
    ~ArrivalRecorder();
    ArrivalRecorder(const ArrivalRecorder &) = delete;
    ArrivalRecorder &operator=(const ArrivalRecorder &) = delete;

    bool start();
    // Reads what has already arrived, then stops the thread.
    void stop();

    // Valid after stop().
    const QByteArray &bytes() const { return m_bytes; }
    // Nothing unless the arrivals were timed.
    std::optional<std::chrono::nanoseconds> minGap() const { return m_minGap; }
    bool failed() const { return m_failed; }
    // The processor time the reading thread took.
    std::chrono::nanoseconds cpuTime() const { return m_cpu; }

private:
    void run();
    void readUntilStopped();
    void collectUntilStopped();
    // Reads what has arrived so far; false at the end of the input or on an error.
    bool collectAvailable();
    void arrived(const char *data, qsizetype count);

    int m_fd;
    bool m_timeArrivals;
    int m_stop[2] = {-1, -1};
    std::thread m_thread;
    QByteArray m_bytes;
    std::chrono::steady_clock::time_point m_last;
    std::optional<std::chrono::nanoseconds> m_minGap;
    bool m_failed = false;
    std::chrono::nanoseconds m_cpu{0};
};

} // namespace norvane
