// SPDX-License-Identifier: MIT
#include "terminal_progress.h"

#include "download_run.h"

namespace norvane {

namespace {

constexpr int BarWidth = 20;

// Back to the start of the line, and the rest of the line wiped.
const char *const ClearLine = "\r\x1b[K";

} // namespace

QString progressLine(int number, int percent, std::chrono::milliseconds spent,
                     std::chrono::milliseconds left)
{
    const int filled = percent * BarWidth / 100;
    return QStringLiteral("message %1 [%2%3] %4% %5 spent, %6 left")
        .arg(number, 3)
        .arg(QString(filled, QLatin1Char('#')), QString(BarWidth - filled, QLatin1Char('-')))
        .arg(percent, 3)
        .arg(clockText(spent), clockText(left));
}

QString clockText(std::chrono::milliseconds time)
{
    const qint64 seconds = std::chrono::duration_cast<std::chrono::seconds>(time).count();
    const QString minutesAndSeconds =
        QStringLiteral("%1:%2")
            .arg(seconds / 60 % 60, seconds >= 3600 ? 2 : 1, 10, QLatin1Char('0'))
            .arg(seconds % 60, 2, 10, QLatin1Char('0'));
    return seconds >= 3600 ? QString::number(seconds / 3600) + QLatin1Char(':') + minutesAndSeconds
                           : minutesAndSeconds;
}

TerminalProgress::TerminalProgress(const DownloadPlan &plan, const DownloadRequest &request,
                                   std::FILE *terminal)
    : m_plan(plan), m_charPause(request.charPause), m_recordPause(request.recordPause),
      m_terminal(terminal)
{
}

void TerminalProgress::showNumber(int number)
{
    // Every number passes by; only those sent move the line.
    const int index = m_plan.indexOf(number);
    if (index < 0)
        return;
    const qint64 done = m_plan.bytesBefore(index);
    const qint64 total = m_plan.totalBytes();
    const int percent = total > 0 ? int(done * 100 / total) : 100;
    const std::chrono::milliseconds left =
        pacingModel(total - done, m_plan.messageCount() - index, m_charPause, m_recordPause);
    // Time left is rounded up: "0:00 left" only once nothing is.
    const QString line = progressLine(number, percent, std::chrono::milliseconds(m_clock.elapsed()),
                                      left + std::chrono::milliseconds(999));
    std::fputs(ClearLine, m_terminal);
    std::fputs(line.toLocal8Bit().constData(), m_terminal);
    std::fflush(m_terminal);
    m_drawn = true;
}

void TerminalProgress::finish()
{
    if (m_drawn)
        std::fputs(ClearLine, m_terminal);
    std::fflush(m_terminal);
    m_drawn = false;
}

} // namespace norvane
