// SPDX-License-Identifier: MIT
#include "arrival_recorder.h"

#include "process_times.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <unistd.h>

namespace norvane {

ArrivalRecorder::ArrivalRecorder(const std::vector<int> &fds, bool timeArrivals)
    : m_timeArrivals(timeArrivals)
{
    for (const int fd : fds) {
        m_lines.push_back(Line{fd, {}, {}, {}});
        m_lines.back().bytes.reserve(64 * 1024);
    }
}

ArrivalRecorder::~ArrivalRecorder()
{
    stop();
    for (int fd : m_stop) {
        if (fd >= 0)
            ::close(fd);
    }
}

bool ArrivalRecorder::start()
{
    if (::pipe(m_stop) != 0)
        return false;
    m_thread = std::thread([this] { run(); });
    return true;
}

void ArrivalRecorder::stop()
{
    if (!m_thread.joinable())
        return;
    const char byte = 1;
    while (::write(m_stop[1], &byte, 1) < 0 && errno == EINTR) {
    }
    m_thread.join();
}

void ArrivalRecorder::run()
{
#ifdef SCHED_IDLE
    // The reader stands in for the devices at the far ends of the lines, not for work on this
    // machine: it would otherwise take the processor from the writers it observes and stretch
    // their writes. It runs when nothing else wants to.
    const sched_param idle{};
    pthread_setschedparam(pthread_self(), SCHED_IDLE, &idle);
#endif
    if (m_timeArrivals)
        readUntilStopped();
    else
        collectUntilStopped();
    m_cpu = threadCpuTime();
}

void ArrivalRecorder::readUntilStopped()
{
    char buffer[4096];
    std::vector<pollfd> fds;
    for (const Line &line : m_lines)
        fds.push_back({line.fd, POLLIN, 0});
    fds.push_back({m_stop[0], POLLIN, 0});
    for (;;) {
        if (::poll(fds.data(), nfds_t(fds.size()), -1) < 0) {
            if (errno == EINTR)
                continue;
            m_failed = true;
            return;
        }
        for (std::size_t k = 0; k < m_lines.size(); ++k) {
            if (fds[k].revents == 0)
                continue;
            const ssize_t count = ::read(m_lines[k].fd, buffer, sizeof buffer);
            if (count > 0) {
                arrived(m_lines[k], buffer, count);
            } else if (count == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
                m_failed = true;
                return;
            }
        }
        if (fds.back().revents != 0) {
            for (Line &line : m_lines) {
                ssize_t count;
                while ((count = ::read(line.fd, buffer, sizeof buffer)) > 0)
                    arrived(line, buffer, count);
            }
            return;
        }
    }
}

void ArrivalRecorder::collectUntilStopped()
{
    const auto collectAll = [this] {
        for (Line &line : m_lines) {
            if (!collectAvailable(line))
                return false;
        }
        return true;
    };
    for (;;) {
        pollfd stop{m_stop[0], POLLIN, 0};
        const int ready = ::poll(&stop, 1, CollectEveryMs);
        if ((ready < 0 && errno != EINTR) || !collectAll()) {
            m_failed = true;
            return;
        }
        if (ready > 0)
            break;
    }
    // The pseudo-terminals hand the last characters over in a kernel worker: give it a moment.
    std::vector<pollfd> last;
    for (const Line &line : m_lines)
        last.push_back({line.fd, POLLIN, 0});
    bool arriving = true;
    while (arriving && ::poll(last.data(), nfds_t(last.size()), 2 * CollectEveryMs) > 0) {
        arriving = false;
        for (std::size_t k = 0; k < m_lines.size(); ++k) {
            if ((last[k].revents & POLLIN) == 0)
                continue;
            arriving = true;
            if (!collectAvailable(m_lines[k]))
                return;
        }
    }
}

bool ArrivalRecorder::collectAvailable(Line &line)
{
    char buffer[4096];
    ssize_t count;
    while ((count = ::read(line.fd, buffer, sizeof buffer)) > 0)
        line.bytes.append(buffer, count);
    return count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR);
}

void ArrivalRecorder::arrived(Line &line, const char *data, qsizetype count)
{
    const auto now = std::chrono::steady_clock::now();
    const auto note = [&line](std::chrono::nanoseconds gap) {
        if (!line.minGap || gap < *line.minGap)
            line.minGap = gap;
    };
    if (!line.bytes.isEmpty())
        note(now - line.last);
    if (count > 1)
        note(std::chrono::nanoseconds(0));
    line.bytes.append(data, count);
    line.last = now;
}

} // namespace norvane
