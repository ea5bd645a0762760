// SPDX-License-Identifier: MIT
#include "steady_pause.h"

#include <QtGlobal>

#include <algorithm>
#include <thread>

#ifdef Q_OS_LINUX
#include <cerrno>
#include <sys/prctl.h>
#include <time.h>
#endif

namespace norvane {

namespace {

using namespace std::chrono_literals;

constexpr std::chrono::nanoseconds MaxWakeLead = 1ms;
constexpr std::chrono::nanoseconds LeadStep = 4us;
constexpr std::chrono::nanoseconds WriteStep = 1us;
// The longest of the short sleeps that cover the last stretch of a pause.
constexpr std::chrono::nanoseconds ShortSleep = 100us;
// The last stretch, what a short sleep is usually late by, is waited out on the clock: a few tens
// of microseconds of a processor per pause, where another sleep would overshoot by as much.
constexpr std::chrono::nanoseconds MaxShortLead = ShortSleep;
constexpr std::chrono::nanoseconds ShortLeadStep = 2us;
// The first writes of a run are late while the pause learns the wake-ups; their lateness is not
// told. The processor waits are sampled every SampleEvery of the thread's time (about 32 writes
// of one line; a thread writing for several lines writes more often) and judged over the samples
// kept, once they span MinPausedToJudge.
constexpr int WarmUpWrites = 64;
constexpr std::chrono::nanoseconds SampleEvery = 320ms;
constexpr std::chrono::nanoseconds MinPausedToJudge = 1s;
// Raised writes are judged this often (a third of a second of 10 ms pauses).
constexpr int JudgeEvery = 32;
// A trial keeps the priority raised unless the raised writes start later than those before by
// more than this share of the pauses: the writer was raised for waiting, and what wrecks the
// pacing raised (an idle virtual machine's late timer) costs percents, whereas one window of
// writes differs from the next by tenths of one.
constexpr double KeepRaisedWithin = 0.005;
// Work after a pause shorter than this is not worth ending the pause early for: waiting out the
// rest before the write would cost a short sleep's own lateness, which is about as much.
constexpr std::chrono::nanoseconds MinWorkLead = 50us;
constexpr std::chrono::nanoseconds MaxWorkLead = 50ms;

// Sleeps until `when` on the steady clock; may return late, never knowingly early.
void sleepUntil(SteadyPause::TimePoint when)
{
#ifdef Q_OS_LINUX
    // steady_clock is CLOCK_MONOTONIC here; an absolute deadline keeps interruptions harmless.
    const auto sinceEpoch = when.time_since_epoch();
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(sinceEpoch);
    timespec deadline{};
    deadline.tv_sec = time_t(seconds.count());
    deadline.tv_nsec = long((sinceEpoch - seconds).count());
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) == EINTR) {
    }
#else
    std::this_thread::sleep_until(when);
#endif
}

// Watches the clock until `when`.
void waitUntil(SteadyPause::TimePoint when)
{
    while (std::chrono::steady_clock::now() < when) {
#if defined(__x86_64__) || defined(__i386__)
        __builtin_ia32_pause();
#endif
    }
}

} // namespace

SteadyPause::Clock SteadyPause::steadyClock()
{
    return Clock{[] { return std::chrono::steady_clock::now(); },
                 sleepUntil,
                 waitUntil,
                 processorWait,
                 preemptions,
                 othersProcessorTime};
}

SteadyPause::SteadyPause(WhileWaiting whileWaiting, Clock clock)
    : m_whileWaiting(std::move(whileWaiting)), m_clock(std::move(clock)), m_mark(m_clock.now())
{
#ifdef Q_OS_LINUX
    // The default timer slack of 50 us would be added to every one of tens of thousands of
    // sleeps of a download.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
#endif
}

void SteadyPause::beginRun()
{
    m_returned.reset();
    m_pending.reset();
    m_lateness = {};
    m_latenessCount = 0;
    m_pausedSinceWrite = m_lateSum = m_pausedSum = 0ns;
    m_expected.reset();
    m_lastWrite.reset();
    m_pushedBack = 0ns;
    m_preemptedWrites = 0;
    m_pushedBackPreempted = 0ns;
    m_lateShareSeen = 0;
    m_waitSampleCount = 0;
    m_pausedInRun = 0ns;
    m_waitShareSeen.reset();
    m_othersShareSeen.reset();
    m_raisedAfter.reset();
    m_loweredAfter.reset();
    m_raisedLateShare.reset();
    m_raising = false;
    m_trials = 0;
    m_nextTrial = 0ns;
    m_runStart = m_clock.now();
    if (m_policy == PriorityPolicy::Raised) {
        m_raisedAfter = 0ns;
        m_raising = true;
        m_trials = 1;
        m_priority.raise();
    }
}

void SteadyPause::endRun()
{
    // The last pause may have returned early, for work that will not come now.
    if (m_pending) {
        approach(*m_pending, m_clock.now());
        m_pending.reset();
    }
    m_returned.reset();
    if (m_policy == PriorityPolicy::WhenLate && m_raising) {
        // The writes since the window last judged, when there are enough to tell.
        if (m_latenessCount >= WarmUpWrites + LateWindow / 4)
            m_raisedLateShare = lateShareNow();
    } else if (!m_raisedAfter || m_policy != PriorityPolicy::WhenLate) {
        // What the run saw; a run that raised keeps what it saw when it raised.
        m_lateShareSeen = lateShareNow();
        m_waitShareSeen = waitShareNow();
        m_othersShareSeen = othersShareNow();
    }
    m_priority.restore();
}

void SteadyPause::markWrite()
{
    TimePoint now = m_clock.now();
    if (m_returned) {
        learnWork(now - *m_returned, m_lastFollows);
        m_returned.reset();
    }
    // The pause before returned early for the work just done; whatever is left of it is waited
    // out here. A sleep that starts right after work lands within microseconds.
    if (m_pending) {
        now = approach(*m_pending, now);
        m_pending.reset();
    }
    // A write after pauses is late by whatever came on top of the pauses asked for since the
    // write before: its own start after the last pause's target, and what the write before
    // took beyond a quick write (the pauses count from its end then).
    if (m_expected && m_lastWrite) {
        const auto [due, paused] = *m_expected;
        noteLateness(Lateness{std::max<std::chrono::nanoseconds>(now - due, 0ns), paused},
                     now - *m_lastWrite);
    } else if (m_pausedSinceWrite > 0ns && m_lastWrite) {
        noteLateness(Lateness{std::max<std::chrono::nanoseconds>(
                                  now - *m_lastWrite - m_pausedSinceWrite, 0ns),
                              m_pausedSinceWrite},
                     m_pausedSinceWrite);
    }
    m_expected.reset();
    m_pausedSinceWrite = 0ns;
    if (m_clock.preemptions)
        m_preemptedBefore = m_clock.preemptions();
    // The mark is the last thing before the write. Were the bookkeeping above (a system call or
    // two) between them, a write held up in it would be taken for one held up before it reached
    // the system, and the pause after it would count from its end less a quick write: up to the
    // bookkeeping's usual time before the write's own start.
    m_mark = m_clock.now();
    m_lastWrite = m_mark;
    m_writeMarked = true;
}

void SteadyPause::pause(std::chrono::milliseconds ms)
{
    const Follows follows = m_writeMarked ? AfterWrite : AfterPause;
    if (m_writeMarked)
        countFromWrite();
    // Right after a write, the next one is a whole pause away: the time to change the priority
    // (after the write's end is taken, so that the change does not count as part of the write).
    if (follows == AfterWrite && m_policy == PriorityPolicy::WhenLate)
        raiseOrJudge();

    // The pause counts from the start of the write before it, so the time spent writing is part
    // of it; a pause that follows another counts from that one's target, so a message's pause
    // after its last character's pause adds exactly its own length.
    const std::chrono::nanoseconds length = std::max(ms, std::chrono::milliseconds(0));
    // Zero pauses count too: the write after them is due at once.
    m_pausedSinceWrite += std::max(length, std::chrono::nanoseconds(1));
    const TimePoint target = m_mark + length;
    m_mark = target;
    m_pending.reset();

    // The pause returns early by the work that usually follows pauses of its kind (at most half
    // the pause): markWrite() waits out the rest.
    const std::chrono::nanoseconds work = m_workLead[follows];
    const TimePoint end = target - (work >= MinWorkLead ? std::min(work, length / 2) : 0ns);

    // Waking from a long sleep is slow and uneven (the processor, or a virtual machine's, has
    // gone idle), whereas a short sleep that starts right after a wake-up lands within a few
    // microseconds. So the long sleep ends early, by the lateness such wake-ups usually stay
    // under plus one short sleep, and short sleeps cover the rest. Aiming at the target directly
    // would make every character late by the wake-up time, and that adds up over a download.
    // The long sleep takes at least half the pause (in nanoseconds: half of 1 ms is not 0).
    const std::chrono::nanoseconds lead =
        std::min<std::chrono::nanoseconds>(m_wakeLead + ShortSleep, (end - target + length) / 2);
    const TimePoint early = end - lead;

    if (m_whileWaiting) {
        // Until the long sleep would begin: past that, the work would delay the write.
        const TimePoint started = m_clock.now();
        m_whileWaiting(length > 0ns ? std::max<std::chrono::nanoseconds>(early - started, 0ns)
                                    : 0ns);
    }

    TimePoint now = m_clock.now();
    if (length == 0ns) {
        std::this_thread::yield();
    } else {
        if (now < early) {
            m_clock.sleepUntil(early);
            now = m_clock.now();
            learnWakeUp(now - early);
        }
        now = approach(end, now);
    }

    m_returned = now;
    m_lastFollows = follows;
    if (now < target)
        m_pending = target;
}

void SteadyPause::countFromWrite()
{
    // The character reached the operating system somewhere between the mark and now. A
    // write that took longer than a quick one may have been held up before it got there
    // (an interrupt, or another thread, between the mark and the write), so the pause counts
    // from the latest moment a quick write could have started instead: otherwise a quick
    // write after it could follow it by less than the pause.
    m_writeMarked = false;
    const TimePoint written = m_clock.now();
    const std::chrono::nanoseconds took = written - m_mark;
    const TimePoint marked = m_mark;
    // Preempted between the mark and now, the thread may have written at any moment up to
    // now, however long a write usually takes: the pause counts from now, which costs it
    // the time of the write.
    const std::optional<long> preempted =
        m_clock.preemptions ? m_clock.preemptions() : std::nullopt;
    if (preempted && m_preemptedBefore && *preempted != *m_preemptedBefore) {
        m_mark = written;
        ++m_preemptedWrites;
        m_pushedBackPreempted += written - marked;
    } else {
        m_mark = std::max(m_mark, written - m_quickWrite);
        // Track what the quickest writes take, from the first one on: down to a quicker
        // one at once, up slowly (a microsecond in 64 writes), as the machine's writes get
        // slower. Against the median, this costs the pacing the writes' own spread (on a
        // virtual machine whose writes take 5 to 30 us, 10 to 25 us per character: a tenth
        // to a fifth of a percent) and keeps a held-up write from shortening the next gap
        // by the difference.
        if (m_quickWrite == 0ns || took < m_quickWrite)
            m_quickWrite = took;
        else
            m_quickWrite += std::min<std::chrono::nanoseconds>(took - m_quickWrite, WriteStep / 64);
        m_quickWrite = std::clamp<std::chrono::nanoseconds>(m_quickWrite, 0ns, MaxWakeLead);
    }
    m_pushedBack += m_mark - marked;
}

SteadyPause::TimePoint SteadyPause::wrote()
{
    if (m_writeMarked)
        countFromWrite();
    if (m_policy == PriorityPolicy::WhenLate)
        raiseOrJudge();
    return m_mark;
}

void SteadyPause::expectWrite(TimePoint due, std::chrono::nanoseconds linePause)
{
    // Zero pauses count too, as in pause().
    m_expected = std::pair{due, std::max(linePause, std::chrono::nanoseconds(1))};
}

SteadyPause::TimePoint SteadyPause::sleepUntilDue(TimePoint due,
                                                  const std::function<bool()> &dueSooner)
{
    TimePoint now = m_clock.now();
    // As in pause(), the long sleep ends early by its usual lateness plus one short sleep. A write
    // due sooner than that (another line's, a moment after the one just written) is approached at
    // once: a long sleep would wake late for it.
    const TimePoint early = due - (m_wakeLead + ShortSleep);
    if (now < early) {
        m_clock.sleepUntil(early);
        now = m_clock.now();
        if (now < early && dueSooner && dueSooner())
            return now;
        learnWakeUp(now - early);
    }
    return approach(due, now);
}

void SteadyPause::learnWakeUp(std::chrono::nanoseconds lateness)
{
    // Track the lateness that about 19 wake-ups in 20 stay under. One above it costs time that
    // later characters cannot make up; one below costs only another short sleep.
    if (lateness > m_wakeLead)
        m_wakeLead += LeadStep * 19 / 20;
    else
        m_wakeLead -= LeadStep / 20;
    m_wakeLead = std::clamp<std::chrono::nanoseconds>(m_wakeLead, 0ns, MaxWakeLead);
}

SteadyPause::TimePoint SteadyPause::approach(TimePoint target, TimePoint now)
{
    while (target - now > m_shortLead) {
        const TimePoint until = std::min(target - m_shortLead, now + ShortSleep);
        m_clock.sleepUntil(until);
        now = m_clock.now();
        // Track the lateness that about three short sleeps in four stay under: waiting out more
        // costs processor time, one above it makes the write a little late.
        if (now - until > m_shortLead)
            m_shortLead += ShortLeadStep * 3 / 4;
        else
            m_shortLead -= ShortLeadStep / 4;
        m_shortLead = std::clamp<std::chrono::nanoseconds>(m_shortLead, 0ns, MaxShortLead);
    }
    if (now < target) {
        m_clock.waitUntil(target);
        now = m_clock.now();
    }
    return now;
}

void SteadyPause::raiseOrJudge()
{
    if (m_raising) {
        // Judged every JudgeEvery raised writes on those since the window began, from the first
        // raised write on, and afresh every window: an idle machine's late timer may come at any
        // time. A raise that goes wrong makes the writes late by percents, which a few tenths of
        // a second of them show; waiting for more would cost seconds of them.
        const int judged = m_latenessCount - WarmUpWrites;
        if (judged < JudgeEvery || judged % JudgeEvery != 0)
            return;
        m_raisedLateShare = lateShareNow();
        const bool later = *m_raisedLateShare > m_lateShareSeen + KeepRaisedWithin;
        if (!later) {
            if (judged >= LateWindow)
                forgetLateness(WarmUpWrites);
            return;
        }
        lower();
        return;
    }
    if (m_pausedInRun < m_nextTrial)
        return;
    if (!raiseWouldHelp())
        return;
    m_lateShareSeen = lateShareNow();
    m_waitShareSeen = waitShareNow();
    m_othersShareSeen = othersShareNow();
    if (!m_raisedAfter)
        m_raisedAfter = m_clock.now() - m_runStart;
    m_loweredAfter.reset();
    ++m_trials;
    m_raising = true;
    // The raised writes are told from the first: while the pause relearns the wake-ups of a
    // raised thread, those of a busy machine come sooner (the writes stay on time: the lead
    // learned before only adds a short sleep), and those of an idle virtual machine later, which
    // is what the trial is there to see.
    forgetLateness(WarmUpWrites);
    m_priority.raise();
}

void SteadyPause::lower()
{
    m_raising = false;
    m_priority.restore();
    m_loweredAfter = m_clock.now() - m_runStart;
    m_nextTrial = m_pausedInRun + RetryAfter * (1 << std::min(m_trials - 1, 8));
    forgetLateness(0);
}

void SteadyPause::forgetLateness(int learned)
{
    m_lateness = {};
    m_latenessCount = learned;
    m_lateSum = m_pausedSum = 0ns;
}

void SteadyPause::noteLateness(const Lateness &write, std::chrono::nanoseconds elapsed)
{
    m_pausedInRun += elapsed;
    const int kept = int(m_waitSamples.size());
    const bool sampleDue =
        m_waitSampleCount == 0 ||
        m_pausedInRun - m_waitSamples[std::size_t((m_waitSampleCount - 1) % kept)].paused >=
            SampleEvery;
    if (sampleDue && m_clock.waitedForProcessor) {
        if (const std::optional<std::chrono::nanoseconds> waited = m_clock.waitedForProcessor()) {
            m_waitSamples[std::size_t(m_waitSampleCount % int(m_waitSamples.size()))] =
                WaitSample{*waited, m_clock.othersWorked ? m_clock.othersWorked() : std::nullopt,
                           m_pausedInRun};
            ++m_waitSampleCount;
        }
    }
    if (m_latenessCount < WarmUpWrites) {
        ++m_latenessCount;
        return;
    }
    Lateness &slot = m_lateness[std::size_t((m_latenessCount - WarmUpWrites) % LateWindow)];
    m_lateSum += write.late - slot.late;
    m_pausedSum += write.paused - slot.paused;
    slot = write;
    ++m_latenessCount;
}

std::optional<std::pair<SteadyPause::WaitSample, SteadyPause::WaitSample>>
SteadyPause::sampledSpan() const
{
    const int kept = int(m_waitSamples.size());
    if (m_waitSampleCount < 2)
        return std::nullopt;
    const WaitSample &last = m_waitSamples[std::size_t((m_waitSampleCount - 1) % kept)];
    const WaitSample &first =
        m_waitSamples[std::size_t(m_waitSampleCount > kept ? m_waitSampleCount % kept : 0)];
    if (last.paused - first.paused < MinPausedToJudge)
        return std::nullopt;
    return std::pair{first, last};
}

std::optional<double> SteadyPause::waitShareNow() const
{
    const auto span = sampledSpan();
    if (!span)
        return std::nullopt;
    const auto &[first, last] = *span;
    return double((last.waited - first.waited).count()) /
           double((last.paused - first.paused).count());
}

std::optional<double> SteadyPause::othersShareNow() const
{
    const auto span = sampledSpan();
    if (!span || !span->first.others || !span->second.others)
        return std::nullopt;
    const auto &[first, last] = *span;
    // Counted in clock ticks, against this process's exact time: a short stretch may come out
    // below nothing.
    return std::max(0.0, double((*last.others - *first.others).count()) /
                             double((last.paused - first.paused).count()));
}

bool SteadyPause::raiseWouldHelp() const
{
    if (waitShareNow().value_or(0.0) <= RaiseAboveWaitShare)
        return false;
    // Where the system does not say what the rest of the machine does, the wait is taken for a
    // busy machine.
    return othersShareNow().value_or(1.0) >= RaiseWhenOthersTake;
}

double SteadyPause::lateShareNow() const
{
    if (m_pausedSum <= 0ns)
        return 0.0;
    // Without the latest write of the window: one hiccup of the machine is no busy machine.
    std::chrono::nanoseconds latest{0};
    const int count = std::min(m_latenessCount - WarmUpWrites, LateWindow);
    for (int i = 0; i < count; ++i)
        latest = std::max(latest, m_lateness[std::size_t(i)].late);
    return double((m_lateSum - latest).count()) / double(m_pausedSum.count());
}

void SteadyPause::learnWork(std::chrono::nanoseconds work, Follows follows)
{
    // Quick to follow longer work, slow to forget it: work that outlasts the lead delays the
    // write, a lead that outlasts the work costs only a short sleep.
    std::chrono::nanoseconds &lead = m_workLead[follows];
    if (work > lead)
        lead += (work - lead) / 2;
    else
        lead -= (lead - work) / 16;
    lead = std::clamp<std::chrono::nanoseconds>(lead, 0ns, MaxWorkLead);
}

} // namespace norvane
