#include "terminal_progress.h"

namespace norvane {

namespace {

constexpr int BarWidth = 20;

// Back to the start of the line, and the rest of the line wiped.
const char *const ClearLine = "\r\x1b[K";

} // namespace

QString progressLine(int number, int percent, qint64 spentMs, qint64 leftMs)
{
    const int filled = percent * BarWidth / 100;
    return QStringLiteral("message %1 [%2%3] %4% %5 spent, %6 left")
        .arg(number, 3)
        .arg(QString(filled, QLatin1Char('#')), QString(BarWidth - filled, QLatin1Char('-')))
        .arg(percent, 3)
        .arg(clockText(spentMs), clockText(leftMs));
}

QString clockText(qint64 ms)
{
    const qint64 seconds = ms / 1000;
    const QString minutesAndSeconds =
        QStringLiteral("%1:%2")
            .arg(seconds / 60 % 60, seconds >= 3600 ? 2 : 1, 10, QLatin1Char('0'))
            .arg(seconds % 60, 2, 10, QLatin1Char('0'));
    return seconds >= 3600 ? QString::number(seconds / 3600) + QLatin1Char(':') + minutesAndSeconds
                           : minutesAndSeconds;
}

TerminalProgress::TerminalProgress(const DownloadPlan &plan, qint16 charDelay, qint16 recordDelay,
                                   std::FILE *terminal)
    : m_plan(plan), m_charDelay(charDelay), m_recordDelay(recordDelay), m_terminal(terminal)
{
}

void TerminalProgress::refresh()
{
    // Every number passes by; only those sent move the line.
    const int index = m_plan.indexOf(m_number);
    if (index < 0)
        return;
    const qint64 done = m_plan.bytesBefore(index);
    const qint64 total = m_plan.totalBytes();
    const int percent = total > 0 ? int(done * 100 / total) : 100;
    const qint64 leftMs =
        minimumDurationMs(total - done, m_plan.messageCount() - index, m_charDelay, m_recordDelay);
    // Time left is rounded up: "0:00 left" only once nothing is.
    const QString line = progressLine(m_number, percent, m_clock.elapsed(), leftMs + 999);
    std::fputs(ClearLine, m_terminal);
    std::fputs(line.toLocal8Bit().constData(), m_terminal);
    std::fflush(m_terminal);
    m_drawn = true;
}

void TerminalProgress::hide()
{
    if (m_drawn)
        std::fputs(ClearLine, m_terminal);
    std::fflush(m_terminal);
    m_drawn = false;
}

} // namespace norvane
