// SPDX-License-Identifier: MIT
#pragma once

#include "steady_pause.h"

#include <QVector>

#include <algorithm>
#include <chrono>
#include <functional>
#include <optional>

namespace norvane::test {

// A clock that stands still until the code under test sleeps, waits or a test moves it on. A
// sleep ends at its deadline plus the lateness `lateness` gives for a sleep of that length (none
// unless set), a wait exactly at its deadline, so every pause ends at a time the test can work
// out exactly.
class FakeClock
{
public:
    using TimePoint = SteadyPause::TimePoint;
    using Duration = std::chrono::nanoseconds;

    // The deadline of a sleep and the time it ended.
    struct Sleep
    {
        TimePoint until;
        TimePoint woke;
    };

    SteadyPause::Clock clock()
    {
        return {[this] { return now; },
                [this](TimePoint until) { sleepUntil(until); },
                [this](TimePoint until) {
                    waited += std::max(until - now, Duration::zero());
                    now = std::max(now, until);
                },
                [this] { return std::optional<Duration>(processorWaited); },
                [this] {
                    now += preemptionsRead;
                    return std::optional<long>(preempted);
                },
                [this] {
                    return std::optional<Duration>(
                        std::chrono::duration_cast<Duration>((now - start) * othersLoad));
                }};
    }

    void advance(Duration by) { now += by; }

    TimePoint now{std::chrono::hours(1)};
    std::function<Duration(Duration length)> lateness;
    QVector<Sleep> sleeps;
    Duration waited{0};          // spent waiting out the last stretch of pauses on the clock
    Duration processorWaited{0}; // what the thread waited for a processor, as a test sets it
    long preempted = 0;          // how often the thread was preempted, as a test sets it
    Duration preemptionsRead{0}; // what reading `preempted` takes
    double othersLoad = 1.0;     // processors the rest of the machine keeps busy
    const TimePoint start = now;

private:
    void sleepUntil(TimePoint until)
    {
        const Duration length = std::max(until - now, Duration::zero());
        now += length + (lateness ? lateness(length) : Duration::zero());
        sleeps.append({until, now});
    }
};

} // namespace norvane::test
