// SPDX-License-Identifier: MIT
#pragma once

#include "pause.h"
#include "serial_output.h"

namespace norvane {

// Passes the pauses on to `pause` in slices of at most Slice, asking `stopRequested` before
// each slice, so that a stop asked for during a long pause is answered within a slice rather
// than after the whole pause. Slices in a row add up to the pause exactly (see Pause), so the
// pacing is the same. A stop that cannot wait leaves out the rest of any pause; a stop after the
// message leaves out the rest of the pause after a message (one that follows another pause with
// no write between) and keeps those between the characters of the message being finished.
class InterruptiblePause : public Pause
{
public:
    static constexpr std::chrono::milliseconds Slice{100};

    InterruptiblePause(Pause &pause, StopCheck stopRequested)
        : m_pause(pause), m_stopRequested(std::move(stopRequested))
    {
    }

    void beginRun() override { m_pause.beginRun(); }
    void endRun() override { m_pause.endRun(); }
    void markWrite() override
    {
        m_writeMarked = true;
        m_pause.markWrite();
    }
    void pause(std::chrono::milliseconds length) override;

private:
    Pause &m_pause;
    StopCheck m_stopRequested;
    bool m_writeMarked = false; // a write since the last pause
};

} // namespace norvane
