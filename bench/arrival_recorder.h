// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <chrono>
#include <optional>
#include <thread>
#include <vector>

namespace norvane {

// Reads the far ends of one or more lines on a thread of its own, standing in for the devices.
// By default it collects what has arrived every few milliseconds, on its own timer, from all of
// them at once; with `timeArrivals` it waits on the descriptors and notes what arrived when on
// each (the receiver's view of the pacing; bytes that come in one read count as arriving
// together, gap 0). A reader woken by every character is woken from the writer's processor, and
// on a virtual machine that wake-up of an idle processor can hold up the writer itself by
// milliseconds; one reader for several lines wakes once for all of them.
class ArrivalRecorder
{
public:
    // How often the reader collects when it does not time the arrivals.
    static constexpr int CollectEveryMs = 5;

    explicit ArrivalRecorder(const std::vector<int> &fds, bool timeArrivals = false);
    ~ArrivalRecorder();
    ArrivalRecorder(const ArrivalRecorder &) = delete;
    ArrivalRecorder &operator=(const ArrivalRecorder &) = delete;

    bool start();
    // Reads what has already arrived, then stops the thread.
    void stop();

    // Valid after stop(), for the line of the `line`th descriptor.
    const QByteArray &bytes(std::size_t line = 0) const { return m_lines[line].bytes; }
    // Nothing unless the arrivals were timed.
    std::optional<std::chrono::nanoseconds> minGap(std::size_t line = 0) const
    {
        return m_lines[line].minGap;
    }
    bool failed() const { return m_failed; }
    // The processor time the reading thread took.
    std::chrono::nanoseconds cpuTime() const { return m_cpu; }

private:
    struct Line
    {
        int fd = -1;
        QByteArray bytes;
        std::chrono::steady_clock::time_point last;
        std::optional<std::chrono::nanoseconds> minGap;
    };

    void run();
    void readUntilStopped();
    void collectUntilStopped();
    // Reads what has arrived so far on a line; false at the end of the input or on an error.
    static bool collectAvailable(Line &line);
    static void arrived(Line &line, const char *data, qsizetype count);

    std::vector<Line> m_lines;
    bool m_timeArrivals;
    int m_stop[2] = {-1, -1};
    std::thread m_thread;
    bool m_failed = false;
    std::chrono::nanoseconds m_cpu{0};
};

} // namespace norvane
