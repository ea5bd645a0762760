// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <chrono>
#include <optional>
#include <thread>

namespace norvane {

// Reads a descriptor on a thread of its own and notes what arrived when: the receiver's view
// of the pacing. Bytes that come in one read count as arriving together (gap 0).
class ArrivalRecorder
{
public:
    explicit ArrivalRecorder(int fd);
    ~ArrivalRecorder();
    ArrivalRecorder(const ArrivalRecorder &) = delete;
    ArrivalRecorder &operator=(const ArrivalRecorder &) = delete;

    bool start();
    // Reads what has already arrived, then stops the thread.
    void stop();

    // Valid after stop().
    const QByteArray &bytes() const { return m_bytes; }
    std::optional<std::chrono::nanoseconds> minGap() const { return m_minGap; }
    bool failed() const { return m_failed; }
    // The processor time the reading thread took.
    std::chrono::nanoseconds cpuTime() const { return m_cpu; }

private:
    void run();
    void readUntilStopped();
    void arrived(const char *data, qsizetype count);

    int m_fd;
    int m_stop[2] = {-1, -1};
    std::thread m_thread;
    QByteArray m_bytes;
    std::chrono::steady_clock::time_point m_last;
    std::optional<std::chrono::nanoseconds> m_minGap;
    bool m_failed = false;
    std::chrono::nanoseconds m_cpu{0};
};

} // namespace norvane
