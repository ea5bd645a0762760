// SPDX-License-Identifier: MIT
#include "pacing_priority.h"

#ifdef Q_OS_LINUX
#include "realtime_kit.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sched.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>
#endif

namespace norvane {

#ifdef Q_OS_LINUX

namespace {

bool isRealtime(int policy)
{
    policy &= ~SCHED_RESET_ON_FORK;
    return policy == SCHED_FIFO || policy == SCHED_RR;
}

// Reads the start of a file of the system's (one read: enough for its first line) into `text`,
// ended by a zero; false when there is nothing to read.
template <std::size_t Size> bool readStart(const char *path, char (&text)[Size])
{
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const ssize_t got = ::read(fd, text, Size - 1);
    ::close(fd);
    if (got <= 0)
        return false;
    text[got] = '\0';
    return true;
}

QString describe(int policy, const sched_param &param)
{
    QString name;
    switch (policy & ~SCHED_RESET_ON_FORK) {
    case SCHED_OTHER:
        return QStringLiteral("SCHED_OTHER");
    case SCHED_BATCH:
        return QStringLiteral("SCHED_BATCH");
    case SCHED_IDLE:
        return QStringLiteral("SCHED_IDLE");
    case SCHED_FIFO:
        name = QStringLiteral("SCHED_FIFO");
        break;
    case SCHED_RR:
        name = QStringLiteral("SCHED_RR");
        break;
    default:
        name = QStringLiteral("policy %1").arg(policy & ~SCHED_RESET_ON_FORK);
        break;
    }
    return QStringLiteral("%1 priority %2").arg(name).arg(param.sched_priority);
}

QString describeThread(pid_t thread)
{
    sched_param param{};
    const int policy = sched_getscheduler(thread);
    if (policy < 0 || sched_getparam(thread, &param) != 0)
        return QString::fromLocal8Bit(std::strerror(errno));
    return describe(policy, param);
}

// Why the real-time policy was refused, in the terms a user can act on.
QString directRefusal(int error)
{
    if (error != EPERM)
        return QString::fromLocal8Bit(std::strerror(error));
    rlimit limit{};
    getrlimit(RLIMIT_RTPRIO, &limit);
    return QStringLiteral("not privileged and the real-time limit (RLIMIT_RTPRIO) is %1")
        .arg(limit.rlim_cur == RLIM_INFINITY ? QStringLiteral("unlimited")
                                             : QString::number(limit.rlim_cur));
}

} // namespace

bool PacingPriority::raise()
{
    if (m_raised)
        return true;
    m_granted = false;
    const pid_t thread = gettid();
    sched_param param{};
    const int policy = sched_getscheduler(thread);
    if (policy < 0 || sched_getparam(thread, &param) != 0) {
        m_description =
            QStringLiteral("not raised: ") + QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    if (isRealtime(policy)) {
        m_description =
            QStringLiteral("not raised: runs real-time already (%1)").arg(describe(policy, param));
        return false;
    }
    m_thread = thread;
    m_policy = policy;
    m_priority = param.sched_priority;

    sched_param realtime{};
    realtime.sched_priority = RealtimePriority;
    if (sched_setscheduler(thread, SCHED_FIFO | SCHED_RESET_ON_FORK, &realtime) == 0) {
        m_raised = m_granted = true;
        m_description = describeThread(thread);
        return true;
    }
    const QString refused = directRefusal(errno);
    const QString kitRefused =
        askRealtimeKit(QDBusConnection::systemBus(), thread, RealtimePriority);
    if (kitRefused.isEmpty()) {
        m_raised = m_granted = true;
        m_description = describeThread(thread) + QStringLiteral(" through RealtimeKit");
        return true;
    }
    m_description = QStringLiteral("not raised: %1; RealtimeKit: %2").arg(refused, kitRefused);
    return false;
}

void PacingPriority::restore()
{
    if (!m_raised)
        return;
    m_raised = false;
    forgetRealtimeKitThread();
    sched_param param{};
    param.sched_priority = m_priority;
    // Once a thread is marked to reset its policy on fork, only a privileged one may unmark it.
    if (sched_setscheduler(pid_t(m_thread), m_policy, &param) != 0)
        sched_setscheduler(pid_t(m_thread), m_policy | SCHED_RESET_ON_FORK, &param);
}

QString currentScheduling()
{
    return describeThread(gettid());
}

std::optional<std::chrono::nanoseconds> processorWait()
{
    // "time on the processor, time waiting on a run queue, time slices", in nanoseconds.
    char text[128];
    if (!readStart("/proc/thread-self/schedstat", text))
        return std::nullopt;
    unsigned long long running = 0;
    unsigned long long waiting = 0;
    if (std::sscanf(text, "%llu %llu", &running, &waiting) != 2)
        return std::nullopt;
    return std::chrono::nanoseconds(waiting);
}

std::optional<std::chrono::nanoseconds> othersProcessorTime()
{
    // The first line of /proc/stat: "cpu  user nice system idle iowait irq softirq steal ...", in
    // clock ticks, summed over the processors. Idle, waiting for input and output and time taken
    // by the host (steal) are nobody's work here.
    char text[256];
    if (!readStart("/proc/stat", text))
        return std::nullopt;
    unsigned long long user = 0;
    unsigned long long nice = 0;
    unsigned long long system = 0;
    unsigned long long idle = 0;
    unsigned long long iowait = 0;
    unsigned long long irq = 0;
    unsigned long long softirq = 0;
    if (std::sscanf(text, "cpu %llu %llu %llu %llu %llu %llu %llu", &user, &nice, &system, &idle,
                    &iowait, &irq, &softirq) != 7)
        return std::nullopt;
    const long ticksPerSecond = ::sysconf(_SC_CLK_TCK);
    timespec own{};
    if (ticksPerSecond <= 0 || ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &own) != 0)
        return std::nullopt;
    const unsigned long long busy = user + nice + system + irq + softirq;
    const std::chrono::nanoseconds machine(
        qint64(busy * (1000000000ULL / static_cast<unsigned long long>(ticksPerSecond))));
    return machine - std::chrono::seconds(own.tv_sec) - std::chrono::nanoseconds(own.tv_nsec);
}

std::optional<long> preemptions()
{
    rusage usage{};
    if (::getrusage(RUSAGE_THREAD, &usage) != 0)
        return std::nullopt;
    return usage.ru_nivcsw;
}

#else

bool PacingPriority::raise()
{
    m_description = QStringLiteral("not raised: not supported on this system");
    return false;
}

void PacingPriority::restore() {}

QString currentScheduling()
{
    return QStringLiteral("normal");
}

std::optional<std::chrono::nanoseconds> processorWait()
{
    return std::nullopt;
}

std::optional<std::chrono::nanoseconds> othersProcessorTime()
{
    return std::nullopt;
}

std::optional<long> preemptions()
{
    return std::nullopt;
}

#endif

PacingPriority::~PacingPriority()
{
    restore();
}

} // namespace norvane
