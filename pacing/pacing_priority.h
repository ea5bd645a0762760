// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QtGlobal>
#include <chrono>
#include <optional>

namespace norvane {

// Raises the calling thread's scheduling priority for the length of a download, where the system
// allows it without asking for a password, and puts the earlier policy back afterwards. On a busy
// machine a thread at normal priority wakes from its pauses late, behind whatever else wants the
// processor; a real-time thread preempts it at once. The thread still sleeps between characters,
// so it takes no more processor time than before.
//
// Tried in order: the real-time FIFO policy directly (allowed to root, and to users whose
// real-time limit RLIMIT_RTPRIO is above zero, as Debian grants the audio group), then the
// RealtimeKit service on the system bus (desktops). Always at the lowest real-time priority, below
// sound servers and interrupt threads. Where nothing allows it the thread keeps its priority;
// failing to raise it is never an error. Children the thread starts do not inherit the policy.
class PacingPriority
{
public:
    // The real-time priority asked for: the lowest there is.
    static constexpr int RealtimePriority = 1;

    PacingPriority() = default;
    ~PacingPriority();
    PacingPriority(const PacingPriority &) = delete;
    PacingPriority &operator=(const PacingPriority &) = delete;

    // Raises the calling thread, unless it is raised already. Returns whether it runs raised.
    bool raise();
    // Gives the thread that called raise() its earlier policy and priority back.
    void restore();

    bool isRaised() const { return m_raised; }
    // Whether the last raise() was granted; stays after restore().
    bool wasGranted() const { return m_granted; }
    // How the thread was raised last ("SCHED_FIFO priority 1"), or why not; stays after restore().
    QString description() const { return m_description; }

private:
    bool m_raised = false;
    bool m_granted = false;
    QString m_description = QStringLiteral("not tried");
    qint64 m_thread = 0;
    int m_policy = 0;
    int m_priority = 0;
};

// The scheduling policy and priority of the calling thread ("SCHED_OTHER", "SCHED_FIFO
// priority 1").
QString currentScheduling();

// How long the calling thread has waited for a processor in all while it was ready to run (the
// scheduler's run-queue wait); nothing where the system does not say.
std::optional<std::chrono::nanoseconds> processorWait();

// How much processor time everything else on the machine has taken, in all: the busy time of every
// processor less this process's own; nothing where the system does not say. It counts in the
// system's clock ticks, so only its change over a second or more tells much.
std::optional<std::chrono::nanoseconds> othersProcessorTime();

// How many times the calling thread has been preempted (involuntary context switches); nothing
// where the system does not say.
std::optional<long> preemptions();

} // namespace norvane
