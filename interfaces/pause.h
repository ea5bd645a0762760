// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>

namespace norvane {

// The pauses between characters and after messages. The real one sleeps on a steady clock;
// tests use a fake that only records what was asked.
class Pause
{
public:
    virtual ~Pause() = default;
    // A download's writes begin: the port is open and the first write is ahead.
    virtual void beginRun() {}
    // A download's writes are over: returns once the last pause asked for is over.
    virtual void endRun() {}
    // Notes that a write starts now: the next pause counts from this moment. Returns no earlier
    // than the end of the pause before it.
    virtual void markWrite() = 0;
    // Pauses `length` (zero or more) counted from the last marked write, or, right after
    // another pause, from that pause's end: the write that follows starts at least `length`
    // after the write before it, and pauses in a row add up exactly.
    virtual void pause(std::chrono::milliseconds length) = 0;
};

} // namespace norvane
