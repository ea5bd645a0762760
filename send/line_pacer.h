// SPDX-License-Identifier: MIT
#pragma once

#include "serial_output.h"
#include "steady_pause.h"

#include <QByteArray>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace norvane {

// One thread that writes the characters of several ports, each port at its own pace. A port's
// next character is due at its own last write plus its pause, counted as SteadyPause counts it;
// the thread sleeps until the earliest of them is due and then writes every port that is due.
// Ports sent to at once so cost the wake-ups of one thread, not those of a thread each.
//
// Each port keeps a thread of its own for what may wait (opening, draining, closing) and runs its
// download there, with a Line as its pause and record writer: the line hands the thread one
// record at a time and waits until it is written, and the pause after a message only moves the
// line's next due time. A character that the port cannot take at once (a stalled adapter, a
// network display that has stopped reading) goes back to the port's own thread, which waits for
// room as a single run does: only that port is held up.
class LinePacer
{
public:
    using TimePoint = SteadyPause::TimePoint;
    // Run on the thread when it ends, with its pause (priority, lateness).
    using AtEnd = std::function<void(const SteadyPause &)>;

    explicit LinePacer(SteadyPause::PriorityPolicy policy = SteadyPause::PriorityPolicy::WhenLate,
                       AtEnd atEnd = {});
    // Ends the thread; every line's run has ended by then.
    ~LinePacer();
    LinePacer(const LinePacer &) = delete;
    LinePacer &operator=(const LinePacer &) = delete;

    // A stop may have been asked for: lines waiting for their next message answer it at once
    // rather than when the message is due.
    void checkStops();

    // A port's pause and record writer, used on the port's thread. `stopRequested` is the run's
    // stop check; the thread asks it before every character, as SendString does.
    class Line : public Pause, public RecordWriter
    {
    public:
        Line(LinePacer &pacer, StopCheck stopRequested);
        ~Line() override;
        Line(const Line &) = delete;
        Line &operator=(const Line &) = delete;

        void beginRun() override;
        // Waits out the pause after the last message; a stop leaves out the rest of it.
        void endRun() override;
        // The thread marks the writes.
        void markWrite() override {}
        // A pause after a message: the line's next character is due that much later.
        void pause(std::chrono::milliseconds length) override;
        SendOutcome write(SerialPort &port, std::chrono::milliseconds charPause,
                          const QByteArray &text, qint64 &written,
                          const StopCheck &stopRequested) override;

        // The writes that started more than `after` later than due, and by how much in all.
        int holdUps() const { return m_holdUps; }
        std::chrono::nanoseconds heldUp() const { return m_heldUp; }
        // How far the line's writes moved the pauses after them back (SteadyPause::pushedBack()).
        std::chrono::nanoseconds pushedBack() const { return m_pushedBack; }
        // When the last run's pauses were over.
        std::optional<TimePoint> pausesEnded() const { return m_pausesEnded; }

    private:
        friend class LinePacer;
        enum class Ended { No, Sent, Failed, Stopped, WouldWait };
        // The record being written.
        struct Job
        {
            SerialPort *port = nullptr;
            const QByteArray *text = nullptr;
            qsizetype from = 0;
            qsizetype next = 0;
            std::chrono::milliseconds charPause{0};
            // No character of the message is written yet: any stop ends the run before it.
            bool startsMessage = false;
            qint64 written = 0;
            Ended ended = Ended::No;
        };

        LinePacer &m_pacer;
        StopCheck m_stopRequested;
        bool m_running = false;
        TimePoint m_due;
        // The pause the next character follows.
        std::chrono::nanoseconds m_pauseBefore{0};
        bool m_afterPause = false;
        std::optional<Job> m_job;
        std::condition_variable m_done;
        int m_holdUps = 0;
        std::chrono::nanoseconds m_heldUp{0};
        std::chrono::nanoseconds m_pushedBack{0};
        std::optional<TimePoint> m_pausesEnded;
    };

    // A write that starts more than this after it was due is held up (Line::holdUps()).
    static constexpr std::chrono::microseconds HeldUpAfter{500};

private:
    void run();
    // A line's next record, or its due time, changed (under the lock).
    void arrived(const Line &line);
    // Ends the records that a stop asked for since ends before their next character (checkStops();
    // the writes ask before every character anyway).
    void answerStops();
    Line *earliest() const;
    void writeDue(SteadyPause &pacing, TimePoint now);
    void end(Line &line, Line::Ended ended);

    SteadyPause::PriorityPolicy m_policy;
    AtEnd m_atEnd;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::vector<Line *> m_lines;
    // Counts the changes that may make a write due sooner than planned; m_seen: those planned for.
    unsigned m_changes = 0;
    unsigned m_seen = 0;
    bool m_stopsToCheck = false;
    TimePoint m_planned = TimePoint::max();
    bool m_quit = false;
    std::thread m_thread;
};

} // namespace norvane
