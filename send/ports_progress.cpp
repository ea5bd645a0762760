// SPDX-License-Identifier: MIT
#include "ports_progress.h"

#include "port_downloads.h"
#include "terminal_progress.h"

#include <algorithm>

#ifdef Q_OS_UNIX
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace norvane {

namespace {

// Back to the start of the line, and the rest of the line wiped.
const char *const ClearLine = "\r\x1b[K";

struct TerminalSize
{
    int columns = 80;
    int rows = 24;
};

TerminalSize terminalSize(std::FILE *terminal)
{
    TerminalSize size;
#ifdef Q_OS_UNIX
    winsize window{};
    if (::ioctl(fileno(terminal), TIOCGWINSZ, &window) == 0 && window.ws_col > 0 &&
        window.ws_row > 0) {
        size.columns = window.ws_col;
        size.rows = window.ws_row;
    }
#else
    Q_UNUSED(terminal);
#endif
    return size;
}

// The place among the plan's messages of the first one at or after `number`.
int planIndexFrom(const DownloadPlan &plan, int number)
{
    int low = 0;
    int high = plan.messageCount();
    while (low < high) {
        const int middle = (low + high) / 2;
        if (plan.number(middle) < number)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

} // namespace

PortsProgress::PortsProgress(const DownloadPlan &plan, const DownloadRequest &request,
                             QStringList names, std::FILE *terminal)
    : m_plan(plan), m_charPause(request.charPause), m_recordPause(request.recordPause),
      m_names(std::move(names)), m_terminal(terminal)
{
}

QString PortsProgress::portState(int reached, const DownloadResult *result) const
{
    if (result) {
        switch (result->outcome) {
        case DownloadOutcome::Completed:
            return QStringLiteral("sent");
        case DownloadOutcome::Stopped:
            return QStringLiteral("interrupted");
        case DownloadOutcome::Failed:
            return QStringLiteral("failed") +
                   (result->reason.isEmpty() ? QString() : QStringLiteral(": ") + result->reason);
        }
    }
    if (reached < 0)
        return QStringLiteral("opening");
    const int index = planIndexFrom(m_plan, reached);
    const qint64 done = m_plan.bytesBefore(index);
    const qint64 total = m_plan.totalBytes();
    const std::chrono::milliseconds left =
        pacingModel(total - done, m_plan.messageCount() - index, m_charPause, m_recordPause);
    // Time left is rounded up: "0:00 left" only once nothing is.
    return progressLine(reached, total > 0 ? int(done * 100 / total) : 100,
                        std::chrono::milliseconds(m_clock.elapsed()),
                        left + std::chrono::milliseconds(999));
}

void PortsProgress::draw(const PortDownloads &downloads)
{
    const TerminalSize size = terminalSize(m_terminal);
    // Lines that wrapped or ran past the top of the screen could not be redrawn in place.
    const int ports = downloads.count();
    const int shown = ports < size.rows ? ports : std::max(size.rows - 2, 0);
    int nameWidth = 0;
    for (const QString &name : m_names)
        nameWidth = std::max(nameWidth, int(name.size()));
    nameWidth = std::min(nameWidth, std::max(size.columns / 3, 8));

    QStringList lines;
    for (int i = 0; i < shown; ++i) {
        // A long name keeps its end, where device names differ.
        const QString &name = m_names.value(i);
        lines << (name.size() > nameWidth
                      ? QStringLiteral("...") + name.right(std::max(nameWidth - 3, 0))
                      : name.leftJustified(nameWidth)) +
                     QLatin1Char(' ') +
                     portState(downloads.reached(i),
                               downloads.isDone(i) ? &downloads.result(i) : nullptr);
    }
    if (shown < ports) {
        int done = 0;
        for (int i = shown; i < ports; ++i)
            done += downloads.isDone(i) ? 1 : 0;
        lines << QStringLiteral("and %1 more ports, %2 of them done").arg(ports - shown).arg(done);
    }

    QByteArray text;
    if (m_drawnLines > 0)
        text += "\x1b[" + QByteArray::number(m_drawnLines) + 'A';
    for (const QString &line : lines)
        text += ClearLine + line.left(size.columns - 1).toLocal8Bit() + '\n';
    // Whatever a longer drawing left below goes.
    text += "\x1b[J";
    std::fputs(text.constData(), m_terminal);
    std::fflush(m_terminal);
    m_drawnLines = int(lines.size());
}

void PortsProgress::finish()
{
    if (m_drawnLines > 0)
        std::fprintf(m_terminal, "\x1b[%dA\r\x1b[J", m_drawnLines);
    std::fflush(m_terminal);
    m_drawnLines = 0;
}

} // namespace norvane
