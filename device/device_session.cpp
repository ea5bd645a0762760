// SPDX-License-Identifier: MIT
#include "device_session.h"

#include "display_rows.h"
#include "message_file.h"

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <poll.h>
#include <unistd.h>
#include <vector>

namespace norvane {

namespace {

using Clock = std::chrono::steady_clock;

// Arrival times are taken when this process wakes up for a read, which jitters by some tens of
// microseconds; a gap short by less than this is our own lateness, not the sender's.
constexpr std::chrono::microseconds ArrivalJitter(100);

std::chrono::nanoseconds flaggedBelow(int charDelayMs)
{
    return std::chrono::milliseconds(charDelayMs) - ArrivalJitter;
}

QString milliseconds(std::chrono::nanoseconds duration)
{
    return QString::number(double(duration.count()) / 1e6, 'f', 3);
}

} // namespace

DeviceSession::DeviceSession(const DeviceOptions &options, LineSink print)
    : m_options(options), m_print(std::move(print)), m_decoder(flaggedBelow(options.charDelayMs))
{
}

DeviceSession::End DeviceSession::run(int fd, int stopFd)
{
    std::optional<Clock::duration> idle;
    if (m_options.idleSeconds)
        idle = std::chrono::duration_cast<Clock::duration>(
            std::chrono::duration<double>(*m_options.idleSeconds));
    auto lastData = Clock::now();
    char buffer[4096];

    for (;;) {
        int timeoutMs = -1;
        if (idle) {
            const auto left = lastData + *idle - Clock::now();
            if (left <= Clock::duration::zero())
                return End::Idle;
            timeoutMs = int(std::ceil(std::chrono::duration<double, std::milli>(left).count()));
        }
        pollfd fds[2] = {{fd, POLLIN, 0}, {stopFd, POLLIN, 0}};
        const int ready = ::poll(fds, stopFd >= 0 ? 2 : 1, timeoutMs);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            m_error = QStringLiteral("poll: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
            return End::ReadError;
        }
        if (stopFd >= 0 && fds[1].revents != 0) {
            // Whatever already arrived still counts.
            takeArrived(fd, Clock::now() + ArrivedTime);
            return End::Stopped;
        }
        if (fds[0].revents == 0)
            continue;

        const auto now = Clock::now();
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count < 0) {
            if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)
                continue;
            m_error = QStringLiteral("read: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
            return End::ReadError;
        }
        if (count == 0)
            return End::Closed;
        lastData = now;
        receive(buffer, count, now.time_since_epoch());
    }
}

void DeviceSession::takeArrived(int fd, std::chrono::steady_clock::time_point giveUp)
{
    // A terminal hands over what it holds in pieces, so what arrived is read until nothing more
    // is there; a sender that keeps sending is cut off at a limit of bytes and of time.
    constexpr qint64 MaxBytes = 1024 * 1024;
    char buffer[4096];
    for (qint64 taken = 0; taken < MaxBytes && Clock::now() < giveUp;) {
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return;
        receive(buffer, count, Clock::now().time_since_epoch());
        taken += count;
    }
}

void DeviceSession::receive(const char *bytes, qsizetype count, ArrivalTime at)
{
    std::vector<ShortGap> gaps;
    for (qsizetype i = 0; i < count; ++i) {
        const std::optional<DecodedMessage> message = m_decoder.feed(bytes[i], at);
        for (const ShortGap &gap : m_decoder.takeShortGaps())
            gaps.push_back(gap);
        if (!message)
            continue;
        m_received[std::size_t(message->number)] = message->text;
        if (!m_options.quiet) {
            for (const QString &row : displayRows(message->number, message->text))
                m_print(row);
        }
    }

    // One warning per message and read, not one per byte: a sender that is too fast often
    // delivers a whole pair in one read.
    for (std::size_t first = 0; first < gaps.size();) {
        std::size_t end = first;
        std::size_t shortest = first;
        while (end < gaps.size() && gaps[end].number == gaps[first].number) {
            if (gaps[end].gap < gaps[shortest].gap)
                shortest = end;
            ++end;
        }
        // The times are taken here on arrival: the line's delivery (for a pseudo-terminal a
        // kernel worker) and this reader's wake-up, both slowest after an idle spell, can hold
        // a pair's first byte back so that the gap after it looks short although the sender
        // kept its pace. The warning says so.
        m_print(QStringLiteral("warning: message %1: %2 gap(s) between arrivals shorter than the "
                               "char delay of %3 ms, the shortest %4 ms before byte %5 (arrival "
                               "times include the line's delivery latency)")
                    .arg(gaps[first].number)
                    .arg(end - first)
                    .arg(m_options.charDelayMs)
                    .arg(milliseconds(gaps[shortest].gap))
                    .arg(gaps[shortest].byteIndex));
        first = end;
    }
}

bool DeviceSession::save(const QString &fileName) const
{
    return writeMessageFile(fileName, m_received);
}

QString DeviceSession::summaryLine() const
{
    const auto minGap = m_decoder.minGap();
    return QStringLiteral("summary: messages %1, bytes %2, skipped bytes %3, short gaps %4, "
                          "min gap %5")
        .arg(m_decoder.messages())
        .arg(m_decoder.bytes())
        .arg(m_decoder.skippedBytes())
        .arg(m_decoder.shortGapCount())
        .arg(minGap ? milliseconds(*minGap) + QStringLiteral(" ms") : QStringLiteral("n/a"));
}

} // namespace norvane
