// SPDX-License-Identifier: MIT
#pragma once

#include "steady_pause.h"

#include <chrono>
#include <memory>
#include <optional>

namespace norvane {

// Passes everything to a steady pause and notes when the last pause returned: the end of the
// last message's pause, after which a download only closes (and, in "Send selection", shows the
// progress of the numbers after the last one selected).
class TimedPause : public Pause
{
public:
    using Clock = std::chrono::steady_clock;

    explicit TimedPause(std::unique_ptr<SteadyPause> pause) : m_pause(std::move(pause)) {}

    void beginRun() override { m_pause->beginRun(); }
    void endRun() override { m_pause->endRun(); }
    void markWrite() override { m_pause->markWrite(); }
    void pause(std::chrono::milliseconds length) override
    {
        m_pause->pause(length);
        m_lastReturn = Clock::now();
    }

    SteadyPause &steadyPause() const { return *m_pause; }
    std::optional<Clock::time_point> lastReturn() const { return m_lastReturn; }

private:
    std::unique_ptr<SteadyPause> m_pause;
    std::optional<Clock::time_point> m_lastReturn;
};

// Whether the run ended with the writer raised: the pause kept it raised, and the system allowed
// it.
inline bool endedRaised(const SteadyPause &pause)
{
    return pause.raisesNow() && pause.priority().wasGranted();
}

} // namespace norvane
