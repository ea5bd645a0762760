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

ArrivalRecorder::ArrivalRecorder(int fd, bool timeArrivals) : m_fd(fd), m_timeArrivals(timeArrivals)
{
    m_bytes.reserve(64 * 1024);
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
    if (m_timeArrivals)
        readUntilStopped();
    else
        collectUntilStopped();
    m_cpu = threadCpuTime();
}

void ArrivalRecorder::readUntilStopped()
{
    char buffer[4096];
#ifdef SCHED_IDLE
    // The reader stands in for a device at the far end of a line, not for work on this machine:
    // woken by every character, it would otherwise take the processor from the writer it times
    // and stretch the writes it is there to observe. It runs when nothing else wants to.
    const sched_param idle{};
    pthread_setschedparam(pthread_self(), SCHED_IDLE, &idle);
#endif
    for (;;) {
        pollfd fds[2] = {{m_fd, POLLIN, 0}, {m_stop[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            m_failed = true;
            return;
        }
        if (fds[0].revents != 0) {
            const ssize_t count = ::read(m_fd, buffer, sizeof buffer);
            if (count > 0) {
                arrived(buffer, count);
                continue;
            }
            if (count == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
                m_failed = true;
                return;
            }
        }
        if (fds[1].revents != 0) {
            ssize_t count;
            while ((count = ::read(m_fd, buffer, sizeof buffer)) > 0)
                arrived(buffer, count);
            return;
        }
    }
}

void ArrivalRecorder::collectUntilStopped()
{
    for (;;) {
        pollfd stop{m_stop[0], POLLIN, 0};
        const int ready = ::poll(&stop, 1, CollectEveryMs);
        if ((ready < 0 && errno != EINTR) || !collectAvailable()) {
            m_failed = true;
            return;
        }
        if (ready > 0)
            break;
    }
    // The pseudo-terminal hands the last characters over in a kernel worker: give it a moment.
    pollfd last{m_fd, POLLIN, 0};
    while (::poll(&last, 1, 2 * CollectEveryMs) > 0 && (last.revents & POLLIN) != 0) {
        if (!collectAvailable())
            return;
    }
}

bool ArrivalRecorder::collectAvailable()
{
    char buffer[4096];
    ssize_t count;
    while ((count = ::read(m_fd, buffer, sizeof buffer)) > 0)
        m_bytes.append(buffer, count);
    return count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR);
}

void ArrivalRecorder::arrived(const char *data, qsizetype count)
{
    const auto now = std::chrono::steady_clock::now();
    const auto note = [this](std::chrono::nanoseconds gap) {
        if (!m_minGap || gap < *m_minGap)
            m_minGap = gap;
    };
    if (!m_bytes.isEmpty())
        note(now - m_last);
    if (count > 1)
        note(std::chrono::nanoseconds(0));
    m_bytes.append(data, count);
    m_last = now;
}

} // namespace norvane
