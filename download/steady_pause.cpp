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

} // namespace

SteadyPause::Clock SteadyPause::steadyClock()
{
    return Clock{[] { return std::chrono::steady_clock::now(); }, sleepUntil};
}

SteadyPause::SteadyPause(std::function<void()> whileWaiting, Clock clock)
    : m_whileWaiting(std::move(whileWaiting)), m_clock(std::move(clock)), m_mark(m_clock.now())
{
#ifdef Q_OS_LINUX
    // The default timer slack of 50 us would be added to every one of tens of thousands of
    // sleeps of a download.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
#endif
}

void SteadyPause::markWrite()
{
    m_mark = m_clock.now();
    m_writeMarked = true;
}

void SteadyPause::pause(qint32 ms)
{
    if (m_writeMarked) {
        // The character reached the operating system somewhere between the mark and now. A
        // write that took longer than usual was most likely held up before it got there, so
        // the pause counts from the latest moment a usual write could have started instead:
        // otherwise the next character could follow this one by less than the pause.
        m_writeMarked = false;
        const TimePoint written = m_clock.now();
        const std::chrono::nanoseconds took = written - m_mark;
        m_mark = std::max(m_mark, written - m_usualWrite);
        // Track the median time a write takes.
        if (took < m_usualWrite)
            m_usualWrite -= WriteStep;
        else
            m_usualWrite += WriteStep;
        m_usualWrite = std::clamp<std::chrono::nanoseconds>(m_usualWrite, 0ns, MaxWakeLead);
    }
    if (m_whileWaiting)
        m_whileWaiting();

    // The pause counts from the start of the write before it, so the time spent writing is part
    // of it; a pause that follows another counts from that one's target, so a message's pause
    // after its last character's pause adds exactly its own length.
    const TimePoint target = m_mark + std::chrono::milliseconds(std::max(ms, 0));
    m_mark = target;
    if (ms <= 0) {
        std::this_thread::yield();
        return;
    }

    TimePoint now = m_clock.now();

    // Waking from a long sleep is slow and uneven (the processor, or a virtual machine's, has
    // gone idle), whereas a short sleep that starts right after a wake-up lands within a few
    // microseconds. So the long sleep ends early, by the lateness such wake-ups usually stay
    // under plus one short sleep, and short sleeps cover the rest. Aiming at the target directly
    // would make every character late by the wake-up time, and that adds up over a download.
    // The long sleep takes at least half the pause (in nanoseconds: half of 1 ms is not 0).
    const std::chrono::nanoseconds lead = std::min<std::chrono::nanoseconds>(
        m_wakeLead + ShortSleep, std::chrono::nanoseconds(std::chrono::milliseconds(ms)) / 2);
    const TimePoint early = target - lead;
    if (now < early) {
        m_clock.sleepUntil(early);
        now = m_clock.now();
        // Track the lateness that about 19 wake-ups in 20 stay under. One above it costs time
        // that later characters cannot make up; one below costs only another short sleep.
        const std::chrono::nanoseconds lateness = now - early;
        if (lateness > m_wakeLead)
            m_wakeLead += LeadStep * 19 / 20;
        else
            m_wakeLead -= LeadStep / 20;
        m_wakeLead = std::clamp<std::chrono::nanoseconds>(m_wakeLead, 0ns, MaxWakeLead);
    }
    while (now < target) {
        m_clock.sleepUntil(std::min(target, now + ShortSleep));
        now = m_clock.now();
    }
}

} // namespace norvane
