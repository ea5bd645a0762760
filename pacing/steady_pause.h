#pragma once

#include "pacing_priority.h"
#include "pause.h"

#include <array>
#include <chrono>
#include <functional>
#include <optional>

namespace norvane {

// Pauses on the steady clock. A pause never ends before its target: the marked write start plus
// `ms`, or, when the write took longer than writes usually do (it may have been held up before
// it reached the line), its end less the usual write time. The wake-up latency is learned and
// compensated so that it does not add up over a long download; the process sleeps (never spins)
// in between.
//
// The caller's own work between a pause and the next write (a download repaints its progress
// window there once per message) is learned too: a pause returns that much before its target,
// and markWrite() waits out whatever is left, so that the work no longer delays the write.
// Nothing is written before the target all the same.
//
// `whileWaiting`, when given, runs once at the start of every pause, before the sleep, with the
// time it may take without delaying the write after the pause (zero when there is none); the main
// window uses it to keep answering the window system during a download.
//
// For the length of a run (beginRun() to endRun()) the thread runs at a raised scheduling priority
// where the system allows it (PacingPriority).
class SteadyPause : public Pause
{
public:
    using TimePoint = std::chrono::steady_clock::time_point;
    using WhileWaiting = std::function<void(std::chrono::nanoseconds budget)>;

    // Where the pause reads the time and how it sleeps. `sleepUntil` may return late, never
    // knowingly early.
    struct Clock
    {
        std::function<TimePoint()> now;
        std::function<void(TimePoint)> sleepUntil;
    };
    // The steady clock, with sleeps to an absolute deadline on it.
    static Clock steadyClock();

    explicit SteadyPause(WhileWaiting whileWaiting = {}, Clock clock = steadyClock());

    // Whether a run raises the thread's scheduling priority; it does unless told otherwise.
    void setRaisesPriority(bool raises) { m_raisesPriority = raises; }
    // The last run's priority: whether and how it was raised.
    const PacingPriority &priority() const { return m_priority; }

    void beginRun() override;
    void endRun() override;
    void markWrite() override;
    void pause(std::chrono::milliseconds length) override;

private:
    // What a pause follows: a write (between characters), or another pause (after a message).
    enum Follows { AfterWrite, AfterPause };

    // Sleeps in short steps from `now` until `target`; returns the time it woke.
    TimePoint sleepShortUntil(TimePoint target, TimePoint now);
    void learnWork(std::chrono::nanoseconds work, Follows follows);

    WhileWaiting m_whileWaiting;
    Clock m_clock;
    TimePoint m_mark;
    bool m_writeMarked = false;
    std::chrono::nanoseconds m_usualWrite{0};
    std::chrono::nanoseconds m_wakeLead{0};

    // The work after a pause, by what the pause followed.
    std::array<std::chrono::nanoseconds, 2> m_workLead{};
    // When the last pause returned, and what it followed, until the next write is marked.
    std::optional<TimePoint> m_returned;
    Follows m_lastFollows = AfterWrite;
    // The target of the last pause when it returned before it.
    std::optional<TimePoint> m_pending;

    PacingPriority m_priority;
    bool m_raisesPriority = true;
};

} // namespace norvane
