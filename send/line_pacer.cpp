// SPDX-License-Identifier: MIT
#include "line_pacer.h"

#include "serial_port.h"
#include "stop_signal.h"

#include <algorithm>
#include <utility>

namespace norvane {

namespace {

using namespace std::chrono_literals;

// The pause after the last message is waited out in slices of this, so that a stop cuts it short.
constexpr std::chrono::milliseconds StopSlice = 100ms;

StopRequest asked(const StopCheck &stopRequested)
{
    return stopRequested ? stopRequested() : StopRequest::None;
}

} // namespace

LinePacer::LinePacer(SteadyPause::PriorityPolicy policy, AtEnd atEnd)
    : m_policy(policy), m_atEnd(std::move(atEnd)), m_thread([this] { run(); })
{
}

LinePacer::~LinePacer()
{
    {
        const std::lock_guard lock(m_mutex);
        m_quit = true;
    }
    m_wake.notify_one();
    m_thread.join();
}

void LinePacer::checkStops()
{
    {
        const std::lock_guard lock(m_mutex);
        ++m_changes;
        m_stopsToCheck = true;
    }
    m_wake.notify_one();
}

void LinePacer::arrived(const Line &line)
{
    // Only a write due sooner than the one the thread sleeps for needs it awake.
    if (line.m_due < m_planned) {
        ++m_changes;
        m_wake.notify_one();
    }
}

void LinePacer::run()
{
    // Ctrl-C and SIGTERM are for the thread that started the run.
    leaveStopSignalsToOtherThreads();
    // The sleeps end early when a write comes due sooner than the one slept for.
    SteadyPause::Clock clock = SteadyPause::steadyClock();
    clock.sleepUntil = [this](TimePoint until) {
        std::unique_lock lock(m_mutex);
        m_wake.wait_until(lock, until, [this] { return m_changes != m_seen || m_quit; });
    };
    const auto dueSooner = [this] {
        const std::lock_guard lock(m_mutex);
        return m_changes != m_seen || m_quit;
    };
    // Made here: its timer settings and priority are this thread's.
    SteadyPause pacing({}, std::move(clock));
    pacing.setPriorityPolicy(m_policy);
    pacing.beginRun();

    std::unique_lock lock(m_mutex);
    while (!m_quit) {
        m_seen = m_changes;
        if (std::exchange(m_stopsToCheck, false))
            answerStops();
        const Line *first = earliest();
        if (first == nullptr) {
            m_planned = TimePoint::max();
            m_wake.wait(lock, [this] { return m_changes != m_seen || m_quit; });
            continue;
        }
        const TimePoint due = first->m_due;
        m_planned = due;
        pacing.expectWrite(due, first->m_pauseBefore);
        lock.unlock();
        const TimePoint now = pacing.sleepUntilDue(due, dueSooner);
        lock.lock();
        if (now >= due)
            writeDue(pacing, now);
    }
    lock.unlock();
    pacing.endRun();
    if (m_atEnd)
        m_atEnd(pacing);
}

void LinePacer::answerStops()
{
    for (Line *line : m_lines) {
        if (!line->m_job || line->m_job->ended != Line::Ended::No)
            continue;
        const StopRequest stop = asked(line->m_stopRequested);
        const Line::Job &job = *line->m_job;
        if (stop == StopRequest::Now ||
            (stop != StopRequest::None && job.startsMessage && job.next == job.from))
            end(*line, Line::Ended::Stopped);
    }
}

LinePacer::Line *LinePacer::earliest() const
{
    Line *first = nullptr;
    for (Line *line : m_lines) {
        if (line->m_job && line->m_job->ended == Line::Ended::No &&
            (first == nullptr || line->m_due < first->m_due))
            first = line;
    }
    return first;
}

void LinePacer::writeDue(SteadyPause &pacing, TimePoint now)
{
    std::vector<Line *> due;
    for (Line *line : m_lines) {
        if (line->m_job && line->m_job->ended == Line::Ended::No && line->m_due <= now)
            due.push_back(line);
    }
    std::sort(due.begin(), due.end(),
              [](const Line *a, const Line *b) { return a->m_due < b->m_due; });
    // The lock is held while writing: a port's thread takes it only to hand over a record or the
    // pause after a message, and writes that would wait are not made here.
    for (Line *line : due) {
        Line::Job &job = *line->m_job;
        const StopRequest stop = asked(line->m_stopRequested);
        if (stop == StopRequest::Now ||
            (stop != StopRequest::None && job.startsMessage && job.next == job.from)) {
            end(*line, Line::Ended::Stopped);
            continue;
        }
        pacing.expectWrite(line->m_due, line->m_pauseBefore);
        pacing.markWrite();
        const TimePoint start = pacing.markedAt();
        const SerialPort::Attempt attempt = job.port->writeWithoutWaiting((*job.text)[job.next]);
        const TimePoint countFrom = pacing.wrote();
        if (start - line->m_due > HeldUpAfter) {
            ++line->m_holdUps;
            line->m_heldUp += start - line->m_due;
        }
        line->m_pushedBack += countFrom - start;
        switch (attempt) {
        case SerialPort::Attempt::Written:
            ++job.written;
            ++job.next;
            line->m_pauseBefore = job.charPause;
            line->m_due = countFrom + job.charPause;
            if (job.next == job.text->size())
                end(*line, Line::Ended::Sent);
            break;
        case SerialPort::Attempt::WouldWait:
            end(*line, Line::Ended::WouldWait);
            break;
        case SerialPort::Attempt::Failed:
            end(*line, Line::Ended::Failed);
            break;
        }
    }
}

void LinePacer::end(Line &line, Line::Ended ended)
{
    line.m_job->ended = ended;
    line.m_done.notify_one();
}

LinePacer::Line::Line(LinePacer &pacer, StopCheck stopRequested)
    : m_pacer(pacer), m_stopRequested(std::move(stopRequested))
{
}

LinePacer::Line::~Line()
{
    const std::lock_guard lock(m_pacer.m_mutex);
    m_pacer.m_lines.erase(std::remove(m_pacer.m_lines.begin(), m_pacer.m_lines.end(), this),
                          m_pacer.m_lines.end());
}

void LinePacer::Line::beginRun()
{
    const std::lock_guard lock(m_pacer.m_mutex);
    m_due = std::chrono::steady_clock::now();
    m_pauseBefore = 0ns;
    m_afterPause = true;
    m_holdUps = 0;
    m_heldUp = 0ns;
    m_pushedBack = 0ns;
    m_pausesEnded.reset();
    if (!m_running)
        m_pacer.m_lines.push_back(this);
    m_running = true;
}

void LinePacer::Line::endRun()
{
    std::unique_lock lock(m_pacer.m_mutex);
    const TimePoint due = m_due;
    lock.unlock();
    // As after a single run's last message: a stop leaves out the rest of the pause.
    for (TimePoint now = std::chrono::steady_clock::now(); now < due;
         now = std::chrono::steady_clock::now()) {
        if (asked(m_stopRequested) != StopRequest::None)
            break;
        std::this_thread::sleep_until(std::min(due, now + StopSlice));
    }
    m_pausesEnded = std::chrono::steady_clock::now();
    lock.lock();
    m_pacer.m_lines.erase(std::remove(m_pacer.m_lines.begin(), m_pacer.m_lines.end(), this),
                          m_pacer.m_lines.end());
    m_running = false;
}

void LinePacer::Line::pause(std::chrono::milliseconds length)
{
    const std::lock_guard lock(m_pacer.m_mutex);
    const std::chrono::milliseconds counted = std::max(length, 0ms);
    m_due += counted;
    m_pauseBefore += counted;
    m_afterPause = true;
}

SendOutcome LinePacer::Line::write(SerialPort &port, std::chrono::milliseconds charPause,
                                   const QByteArray &text, qint64 &written,
                                   const StopCheck &stopRequested)
{
    qsizetype next = 0;
    while (next < text.size()) {
        std::unique_lock lock(m_pacer.m_mutex);
        m_job = Job{&port, &text, next, next, charPause, std::exchange(m_afterPause, false)};
        m_pacer.arrived(*this);
        m_done.wait(lock, [this] { return m_job->ended != Ended::No; });
        const Job job = *m_job;
        m_job.reset();
        lock.unlock();
        written += job.written;
        switch (job.ended) {
        case Ended::Sent:
            return SendOutcome::Sent;
        case Ended::Failed:
            return SendOutcome::Failed;
        case Ended::Stopped:
        case Ended::No:
            return SendOutcome::Stopped;
        case Ended::WouldWait:
            break;
        }
        // The port has no room for the character now: it waits for room here, where only this
        // port waits, and gives way to a stop that cannot wait, as a single run's write does.
        if (asked(stopRequested) == StopRequest::Now)
            return SendOutcome::Stopped;
        if (!port.write(text[job.next]))
            return SendOutcome::Failed;
        ++written;
        next = job.next + 1;
        lock.lock();
        // The write waited: the pause after it counts from its end.
        m_due = std::chrono::steady_clock::now() + charPause;
        m_pauseBefore = charPause;
    }
    return SendOutcome::Sent;
}

} // namespace norvane
