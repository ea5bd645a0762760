#pragma once

#include "pause.h"

#include <chrono>
#include <functional>

namespace norvane {

// Pauses on the steady clock. A pause never ends before its target: the marked write start plus
// `ms`, or, when the write took longer than writes usually do (it may have been held up before
// it reached the line), its end less the usual write time. The wake-up latency is learned and
// compensated so that it does not add up over a long download; the process sleeps (never spins)
// in between.
//
// `whileWaiting`, when given, runs once at the start of every pause, before the sleep; the main
// window uses it to keep answering the window system during a download.
class SteadyPause : public Pause
{
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    // Where the pause reads the time and how it sleeps. `sleepUntil` may return late, never
    // knowingly early.
    struct Clock
    {
        std::function<TimePoint()> now;
        std::function<void(TimePoint)> sleepUntil;
    };
    // The steady clock, with sleeps to an absolute deadline on it.
    static Clock steadyClock();

    explicit SteadyPause(std::function<void()> whileWaiting = {}, Clock clock = steadyClock());

    void markWrite() override;
    void pause(qint32 ms) override;

private:
    std::function<void()> m_whileWaiting;
    Clock m_clock;
    TimePoint m_mark;
    bool m_writeMarked = false;
    std::chrono::nanoseconds m_usualWrite{0};
    std::chrono::nanoseconds m_wakeLead{0};
};

} // namespace norvane
