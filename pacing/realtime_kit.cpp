// SPDX-License-Identifier: MIT
#include "realtime_kit.h"

#include <QDBusError>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QVariant>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <sched.h>
#include <sys/resource.h>

namespace norvane {

namespace {

const QString Service = QStringLiteral("org.freedesktop.RealtimeKit1");
const QString Path = QStringLiteral("/org/freedesktop/RealtimeKit1");
constexpr int CallTimeoutMs = 1000;

// The thread raised through RealtimeKit, for the SIGXCPU handler. A signal handler can reach
// nothing else.
std::atomic<pid_t> raisedThread{0};

extern "C" void dropRealtimeOnCpuLimit(int)
{
    // Only a raw system call here: this runs inside a signal handler.
    const pid_t thread = raisedThread.load();
    if (thread != 0) {
        const sched_param normal{};
        sched_setscheduler(thread, SCHED_OTHER | SCHED_RESET_ON_FORK, &normal);
    }
}

QDBusMessage call(const QDBusConnection &bus, const QDBusMessage &message)
{
    return bus.call(message, QDBus::Block, CallTimeoutMs);
}

// A property of the service, or an invalid QVariant with `error` set.
QVariant property(const QDBusConnection &bus, const QString &name, QString &error)
{
    QDBusMessage get = QDBusMessage::createMethodCall(
        Service, Path, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << Service << name;
    const QDBusMessage reply = call(bus, get);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        error = reply.errorMessage().isEmpty() ? reply.errorName() : reply.errorMessage();
        return {};
    }
    return reply.arguments().constFirst().value<QDBusVariant>().variant();
}

// Lowers RLIMIT_RTTIME to what RealtimeKit accepts, the soft limit to half of it, and makes
// SIGXCPU drop real-time scheduling instead of ending the program. Empty on success.
QString limitRealtimeCpu(qint64 maxMicroseconds)
{
    if (maxMicroseconds <= 1)
        return QStringLiteral("the service allows no real-time CPU time");
    rlimit limit{};
    if (getrlimit(RLIMIT_RTTIME, &limit) != 0)
        return QString::fromLocal8Bit(std::strerror(errno));
    const rlim_t hard = std::min<rlim_t>(limit.rlim_max, rlim_t(maxMicroseconds));
    const rlimit lowered{std::min<rlim_t>(limit.rlim_cur, hard / 2), hard};
    if (setrlimit(RLIMIT_RTTIME, &lowered) != 0)
        return QString::fromLocal8Bit(std::strerror(errno));

    struct sigaction current
    {
    };
    sigaction(SIGXCPU, nullptr, &current);
    if (current.sa_handler == SIG_DFL) {
        struct sigaction drop
        {
        };
        drop.sa_handler = dropRealtimeOnCpuLimit;
        sigemptyset(&drop.sa_mask);
        drop.sa_flags = SA_RESTART;
        sigaction(SIGXCPU, &drop, nullptr);
    }
    return {};
}

} // namespace

// NOLINTNEXTLINE(bugprone-easily-swappable-parameters): as the service's call takes them
QString askRealtimeKit(const QDBusConnection &bus, qint64 threadId, int priority)
{
    if (!bus.isConnected()) {
        const QString why = bus.lastError().message();
        return why.isEmpty() ? QStringLiteral("no system bus")
                             : QStringLiteral("no system bus (%1)").arg(why);
    }

    QString error;
    const QVariant maxPriority = property(bus, QStringLiteral("MaxRealtimePriority"), error);
    if (!maxPriority.isValid())
        return error;
    const QVariant maxRealtimeCpu = property(bus, QStringLiteral("RTTimeUSecMax"), error);
    if (!maxRealtimeCpu.isValid())
        return error;
    const int granted = std::min(priority, maxPriority.toInt());
    if (granted < 1)
        return QStringLiteral("the service grants no real-time priority");
    error = limitRealtimeCpu(maxRealtimeCpu.toLongLong());
    if (!error.isEmpty())
        return QStringLiteral("cannot limit the real-time CPU time: ") + error;

    QDBusMessage make = QDBusMessage::createMethodCall(Service, Path, Service,
                                                       QStringLiteral("MakeThreadRealtime"));
    make << quint64(threadId) << quint32(granted);
    raisedThread.store(pid_t(threadId));
    const QDBusMessage reply = call(bus, make);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        raisedThread.store(0);
        return reply.errorMessage().isEmpty() ? reply.errorName() : reply.errorMessage();
    }
    return {};
}

void forgetRealtimeKitThread()
{
    raisedThread.store(0);
}

} // namespace norvane
