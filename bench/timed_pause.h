// SPDX-License-Identifier: MIT
#pragma once

#include "process_times.h"
#include "steady_pause.h"

#include <chrono>
#include <memory>
#include <optional>

namespace norvane {

// Passes everything to a steady pause and notes when the last pause returned: the end of the
// last message's pause, after which a download only closes (and, in "Send selection", shows the
// progress of the numbers after the last one selected). At the end of every message (a pause
// that follows a pause) it notes the processor time of the benchmark too, so that what comes
// after the last message (in a window, nearly a thousand repaints of the progress bar for a
// short selection) is not counted against the pacing it is compared with.
//
// It also counts the writes that started more than HeldUpAfter later than the pauses before them
// asked for: hold-ups of the machine (an idle virtual processor's timer delivered late, a write
// that stalled), which no pacing makes up, apart from the small lateness every write has. The
// lateness of the other writes it splits in two: the time the write before them moved its pause
// back (counted from its end, SteadyPause::pushedBack()), and the rest (wake-ups, bookkeeping).
class TimedPause : public Pause
{
public:
    using Clock = std::chrono::steady_clock;

    explicit TimedPause(std::unique_ptr<SteadyPause> pause) : m_pause(std::move(pause)) {}

    void beginRun() override
    {
        m_pause->beginRun();
        m_pushedBackBefore = m_afterPreemptedBefore = std::chrono::nanoseconds(0);
    }
    void endRun() override { m_pause->endRun(); }
    static constexpr std::chrono::microseconds HeldUpAfter{500};

    void markWrite() override
    {
        m_wrote = true;
        m_pause->markWrite();
        const Clock::time_point start = Clock::now();
        const std::chrono::nanoseconds pushedBack = m_pause->pushedBack();
        const std::chrono::nanoseconds afterPreempted = m_pause->pushedBackPreempted();
        if (m_lastWrite) {
            const std::chrono::nanoseconds late = start - *m_lastWrite - m_pausedSinceWrite;
            if (late > HeldUpAfter) {
                ++m_holdUps;
                m_heldUp += late;
            } else {
                const std::chrono::nanoseconds pushed = pushedBack - m_pushedBackBefore;
                m_pushedBack += pushed;
                m_pushedBackPreempted += afterPreempted - m_afterPreemptedBefore;
                m_lateOtherwise += late - pushed;
            }
        }
        m_pushedBackBefore = pushedBack;
        m_afterPreemptedBefore = afterPreempted;
        if (!m_lastWrite)
            m_firstWrite = start;
        m_lastWrite = start;
        m_pausedSinceWrite = std::chrono::nanoseconds(0);
    }
    void pause(std::chrono::milliseconds length) override
    {
        m_pausedSinceWrite += length;
        m_pause->pause(length);
        m_lastReturn = Clock::now();
        if (!m_wrote)
            m_cpuAtMessageEnd = processCpuTime();
        m_wrote = false;
    }

    SteadyPause &steadyPause() const { return *m_pause; }
    std::optional<Clock::time_point> lastReturn() const { return m_lastReturn; }
    std::optional<Clock::time_point> firstWrite() const { return m_firstWrite; }
    // The benchmark's processor time at the end of the last message's pause.
    std::optional<std::chrono::microseconds> cpuAtMessageEnd() const { return m_cpuAtMessageEnd; }
    // How many writes were held up, and by how much in all.
    int holdUps() const { return m_holdUps; }
    std::chrono::nanoseconds heldUp() const { return m_heldUp; }
    // Outside the hold-ups: how far the writes moved their pauses back, and what else came on top
    // of the pauses.
    std::chrono::nanoseconds pushedBack() const { return m_pushedBack; }
    // Of that, by the writes the thread was preempted in.
    std::chrono::nanoseconds pushedBackPreempted() const { return m_pushedBackPreempted; }
    std::chrono::nanoseconds lateOtherwise() const { return m_lateOtherwise; }

private:
    std::unique_ptr<SteadyPause> m_pause;
    std::optional<Clock::time_point> m_lastReturn;
    std::optional<std::chrono::microseconds> m_cpuAtMessageEnd;
    bool m_wrote = false;
    std::optional<Clock::time_point> m_firstWrite;
    std::optional<Clock::time_point> m_lastWrite;
    std::chrono::nanoseconds m_pausedSinceWrite{0};
    int m_holdUps = 0;
    std::chrono::nanoseconds m_heldUp{0};
    std::chrono::nanoseconds m_pushedBackBefore{0};
    std::chrono::nanoseconds m_pushedBack{0};
    std::chrono::nanoseconds m_afterPreemptedBefore{0};
    std::chrono::nanoseconds m_pushedBackPreempted{0};
    std::chrono::nanoseconds m_lateOtherwise{0};
};

// Whether the run ended with the writer raised: the pause kept it raised, and the system allowed
// it.
inline bool endedRaised(const SteadyPause &pause)
{
    return pause.raisesNow() && pause.priority().wasGranted();
}

} // namespace norvane
