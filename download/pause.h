#pragma once

#include <QtGlobal>

namespace norvane {

// The pauses between characters and after messages. The real one sleeps on a steady clock;
// tests use a fake that only records what was asked.
class Pause
{
public:
    virtual ~Pause() = default;
    // Starts a new sequence of writes: the next pause counts from now.
    virtual void restart() = 0;
    // Pauses `ms` milliseconds (0 or more), counted from the end of the previous pause, so that
    // the write that follows starts at least `ms` after the write before it.
    virtual void pause(qint32 ms) = 0;
};

} // namespace norvane
