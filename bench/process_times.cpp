// SPDX-License-Identifier: MIT
#include "process_times.h"

#include <QByteArray>
#include <QFile>
#include <QList>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

namespace norvane {

std::chrono::microseconds processCpuTime()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto time = [](const timeval &t) {
        return std::chrono::seconds(t.tv_sec) + std::chrono::microseconds(t.tv_usec);
    };
    return time(usage.ru_utime) + time(usage.ru_stime);
}

std::chrono::nanoseconds threadCpuTime()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
}

std::optional<std::chrono::milliseconds> stolenTime()
{
    QFile stat(QStringLiteral("/proc/stat"));
    if (!stat.open(QIODevice::ReadOnly))
        return std::nullopt;
    // "cpu user nice system idle iowait irq softirq steal ..." in clock ticks.
    const QList<QByteArray> fields = stat.readLine().simplified().split(' ');
    const long ticksPerSecond = sysconf(_SC_CLK_TCK);
    bool ok = false;
    const qint64 steal = fields.size() > 8 ? fields[8].toLongLong(&ok) : 0;
    if (fields.value(0) != "cpu" || !ok || ticksPerSecond <= 0)
        return std::nullopt;
    return std::chrono::milliseconds(steal * 1000 / ticksPerSecond);
}

} // namespace norvane
