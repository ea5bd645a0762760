// SPDX-License-Identifier: MIT
#pragma once

#include "pacing_priority.h"
#include "pause.h"

#include <array>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

namespace norvane {

// Pauses on the steady clock. A pause never ends before its target: the marked write start plus
// its length, or, when the write took longer than a quick write does (it may have been held up
// before it reached the line), its end less the time of a quick write, or, when the thread was
// preempted during the write, its end. The wake-up latency is
// learned and compensated so that it does not add up over a long download: a long sleep ends early
// by the lateness of long sleeps, short sleeps follow, and the last few tens of microseconds (what
// a short sleep is usually late by) are waited out on the clock.
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
// The thread's scheduling priority (PacingPriority) follows the priority policy: by default a run
// starts at the thread's own priority and raises it once the thread, woken from its pauses, waits
// for a processor longer than RaiseAboveWaitShare of the pauses while the rest of the machine
// keeps at least RaiseWhenOthersTake of a processor busy: the machine is busy, and a raised thread
// is run at once. It is not raised for waits
// behind its own program (a window painting), nor for wake-ups that come late because the (virtual)
// machine delivers its timer late: on an idle virtual machine a raised thread's wake-ups come later
// still. Raising is a trial: when the raised writes (judged every few tens of them, over up to
// LateWindow) start clearly later, as a share of their pauses, than those before the raise, the
// thread goes back to its own priority, and the next trial waits for RetryAfter of pausing, twice
// as long after each failed one (an X server busy painting on an idle machine makes the writer wait
// for a processor as a busy machine does, but a raised writer is then later, not sooner).
class SteadyPause : public Pause
{
public:
    using TimePoint = std::chrono::steady_clock::time_point;
    using WhileWaiting = std::function<void(std::chrono::nanoseconds budget)>;

    // Where the pause reads the time, how it sleeps and how it waits without sleeping.
    // `sleepUntil` may return late, never knowingly early; `waitUntil` returns at the time given
    // or a moment later.
    // `waitedForProcessor` tells how long the calling thread has waited for a processor, in all,
    // while it was ready to run; `preemptions` how often it was preempted; `othersWorked` how
    // much processor time everything else on the machine has taken, in all; nothing where the
    // system does not say.
    struct Clock
    {
        std::function<TimePoint()> now;
        std::function<void(TimePoint)> sleepUntil;
        std::function<void(TimePoint)> waitUntil;
        std::function<std::optional<std::chrono::nanoseconds>()> waitedForProcessor;
        std::function<std::optional<long>()> preemptions;
        std::function<std::optional<std::chrono::nanoseconds>()> othersWorked;
    };
    // The steady clock, with sleeps to an absolute deadline on it.
    static Clock steadyClock();

    enum class PriorityPolicy {
        Normal,   // never raised
        Raised,   // raised for every whole run
        WhenLate, // raised once the thread waits for a processor (the default)
    };
    // Waiting for a processor longer than this share of the pauses, over the last writes (about
    // LateWindow of them), raises the priority (WhenLate),
    static constexpr double RaiseAboveWaitShare = 0.002;
    // when the rest of the machine kept at least this share of a processor busy meanwhile. A
    // thread also waits behind its own program (a window painting), which a raise does not make
    // shorter, whereas on an idle virtual machine it makes the timers later.
    static constexpr double RaiseWhenOthersTake = 0.1;
    // How late the writes started is told over this many of the last writes.
    static constexpr int LateWindow = 256;
    // Pausing after a failed trial before the next one may start (doubled after each).
    static constexpr std::chrono::seconds RetryAfter{30};

    explicit SteadyPause(WhileWaiting whileWaiting = {}, Clock clock = steadyClock());

    void setPriorityPolicy(PriorityPolicy policy) { m_policy = policy; }
    // The last run's priority: whether and how it was raised.
    const PacingPriority &priority() const { return m_priority; }
    // How long into the last run the priority was raised; nothing when it was not tried.
    std::optional<std::chrono::nanoseconds> raisedAfter() const { return m_raisedAfter; }
    // How long into the last run the priority went back to normal after its last trial, for
    // writes later raised than before; nothing when it was not lowered or was raised again.
    std::optional<std::chrono::nanoseconds> loweredAfter() const { return m_loweredAfter; }
    // How many times the last run raised the priority.
    int trials() const { return m_trials; }
    // Whether the pause keeps the thread raised now (whether or not the system allowed it).
    bool raisesNow() const { return m_raising; }
    // How late the raised writes started, as lateShare() tells it, over the last window judged.
    std::optional<double> raisedLateShare() const { return m_raisedLateShare; }
    // How much later than the pauses asked for the writes started, each after the write before
    // it, as a share of those pauses, over the last LateWindow writes but for the latest of
    // them: when the priority was raised, or at the end of the run.
    double lateShare() const { return m_lateShareSeen; }
    // How long the thread waited for a processor, as a share of the pauses, over the last writes:
    // when the priority was raised, or at the end of the run; nothing where the system does not
    // say.
    std::optional<double> waitShare() const { return m_waitShareSeen; }
    // How much of a processor the rest of the machine took over the same writes; nothing where
    // the system does not say.
    std::optional<double> othersShare() const { return m_othersShareSeen; }
    // How far the writes of the run moved the pauses after them back from the writes' marks (the
    // rules above: a write's end less a quick write, or its end), in all; how many writes the
    // thread was preempted in, and how far those moved their pauses back.
    std::chrono::nanoseconds pushedBack() const { return m_pushedBack; }
    int preemptedWrites() const { return m_preemptedWrites; }
    std::chrono::nanoseconds pushedBackPreempted() const { return m_pushedBackPreempted; }

    void beginRun() override;
    void endRun() override;
    void markWrite() override;
    void pause(std::chrono::milliseconds length) override;

    // For a thread that writes to several lines, each at its own pace, and keeps their due times
    // itself. The writes are marked as usual (markWrite()); wrote() then applies the rules for
    // the write just marked and returns the moment the pause after it counts from (the line adds
    // its own pause to it); expectWrite() tells when the next write is due, after what pause of
    // its own line, so that its lateness is told against that; sleepUntilDue() sleeps until a
    // write is due as pause() does (a long sleep that ends early by its usual lateness, then short
    // ones) and returns the time it ended. It returns at once after the long sleep, before the
    // due time, when `dueSooner` answers true: the clock's sleep was cut short for a write due
    // sooner. The priority is raised, judged and restored as for a single writer.
    TimePoint wrote();
    // When the last write was marked.
    TimePoint markedAt() const { return m_lastWrite.value_or(m_mark); }
    void expectWrite(TimePoint due, std::chrono::nanoseconds linePause);
    TimePoint sleepUntilDue(TimePoint due, const std::function<bool()> &dueSooner);

private:
    // What a pause follows: a write (between characters), or another pause (after a message).
    enum Follows { AfterWrite, AfterPause };

    // Sleeps in short steps from `now` until shortly before `target` and waits out the rest;
    // returns the time it ended.
    TimePoint approach(TimePoint target, TimePoint now);
    // Tracks how late a long sleep woke.
    void learnWakeUp(std::chrono::nanoseconds lateness);
    // The write marked has returned: the moment the pause after it counts from (m_mark).
    void countFromWrite();
    void learnWork(std::chrono::nanoseconds work, Follows follows);
    struct Lateness;
    // Notes how late a write starts after the pauses before it, `elapsed` after the write before.
    void noteLateness(const Lateness &write, std::chrono::nanoseconds elapsed);
    // Raises the priority for a trial, or judges the trial under way.
    void raiseOrJudge();
    // Ends a trial whose raised writes were later: back to the thread's own priority.
    void lower();
    // Forgets the lateness of the writes so far; the next `learned` writes count as learned
    // already (none: the pause first relearns the wake-ups).
    void forgetLateness(int learned);
    double lateShareNow() const;
    std::optional<double> waitShareNow() const;
    std::optional<double> othersShareNow() const;
    // Whether the thread waits for a processor in a way a raise cures: behind other programs
    // (WhenLate).
    bool raiseWouldHelp() const;

    WhileWaiting m_whileWaiting;
    Clock m_clock;
    TimePoint m_mark;
    // When the last write was marked.
    std::optional<TimePoint> m_lastWrite;
    bool m_writeMarked = false;
    std::chrono::nanoseconds m_quickWrite{0};
    // How often the thread had been preempted when the write was marked.
    std::optional<long> m_preemptedBefore;
    std::chrono::nanoseconds m_pushedBack{0};
    int m_preemptedWrites = 0;
    std::chrono::nanoseconds m_pushedBackPreempted{0};
    std::chrono::nanoseconds m_wakeLead{0};
    std::chrono::nanoseconds m_shortLead{0};

    // The work after a pause, by what the pause followed.
    std::array<std::chrono::nanoseconds, 2> m_workLead{};
    // When the last pause returned, and what it followed, until the next write is marked.
    std::optional<TimePoint> m_returned;
    Follows m_lastFollows = AfterWrite;
    // The target of the last pause when it returned before it.
    std::optional<TimePoint> m_pending;

    // The last writes: how late each started and the pauses before it.
    struct Lateness
    {
        std::chrono::nanoseconds late{0};
        std::chrono::nanoseconds paused{0};
    };
    std::array<Lateness, LateWindow> m_lateness{};
    int m_latenessCount = 0;
    std::chrono::nanoseconds m_pausedSinceWrite{0};
    // The next write's due time and its line's pause, when the caller keeps the due times.
    std::optional<std::pair<TimePoint, std::chrono::nanoseconds>> m_expected;
    std::chrono::nanoseconds m_lateSum{0};
    std::chrono::nanoseconds m_pausedSum{0};
    double m_lateShareSeen = 0;
    // The processor waits of the thread, the rest of the machine's work and the pausing so far,
    // every few writes.
    struct WaitSample
    {
        std::chrono::nanoseconds waited{0};
        std::optional<std::chrono::nanoseconds> others;
        std::chrono::nanoseconds paused{0};
    };
    // The oldest and the newest of the kept samples, once they span enough pausing to judge.
    std::optional<std::pair<WaitSample, WaitSample>> sampledSpan() const;
    std::array<WaitSample, 9> m_waitSamples{};
    int m_waitSampleCount = 0;
    std::chrono::nanoseconds m_pausedInRun{0};
    std::optional<double> m_waitShareSeen;
    std::optional<double> m_othersShareSeen;
    TimePoint m_runStart;

    PacingPriority m_priority;
    PriorityPolicy m_policy = PriorityPolicy::WhenLate;
    std::optional<std::chrono::nanoseconds> m_raisedAfter;
    std::optional<std::chrono::nanoseconds> m_loweredAfter;
    std::optional<double> m_raisedLateShare;
    // Raised, and (WhenLate) judged every few tens of writes.
    bool m_raising = false;
    int m_trials = 0;
    std::chrono::nanoseconds m_nextTrial{0};
};

} // namespace norvane
