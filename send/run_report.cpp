// SPDX-License-Identifier: MIT
#include "run_report.h"

#include "download_run.h"

namespace norvane {

QString messagesText(qint64 count)
{
    return count == 1 ? QStringLiteral("1 message") : QStringLiteral("%1 messages").arg(count);
}

QString secondsText(std::chrono::milliseconds length)
{
    return QString::number(double(length.count()) / 1000.0, 'f', 3) + QStringLiteral(" s");
}

QString sentText(const DownloadPlan &plan, qint64 written, std::chrono::milliseconds took,
                 std::chrono::milliseconds charPause, std::chrono::milliseconds recordPause)
{
    const int whole = plan.reach(written).wholeMessages;
    return QStringLiteral("sent %1, %2 bytes in %3 (the pauses alone: %4)")
        .arg(messagesText(whole))
        .arg(written)
        .arg(secondsText(took), secondsText(pacingModel(written, whole, charPause, recordPause)));
}

QString interruptedText(const DownloadPlan &plan, qint64 written)
{
    if (written == 0)
        return QStringLiteral("interrupted before the first message");
    const DownloadPlan::Reach reach = plan.reach(written);
    if (reach.bytesInto == 0)
        return QStringLiteral("interrupted after message %1")
            .arg(plan.number(reach.wholeMessages - 1));
    return QStringLiteral("interrupted after message %1 (%2 of its %3 bytes sent)")
        .arg(plan.number(reach.wholeMessages))
        .arg(reach.bytesInto)
        .arg(plan.pairBytes(reach.wholeMessages));
}

} // namespace norvane
