// SPDX-License-Identifier: MIT
#include "pacing_report.h"

namespace norvane {

QString pacingLine(const PacingFigures &figures)
{
    const QString notAvailable = QStringLiteral("n/a");
    const QString ratio =
        figures.modelSeconds > 0
            ? QString::number(figures.measuredSeconds / figures.modelSeconds, 'f', 4)
            : notAvailable;
    const QString gap =
        figures.minGapMs ? QString::number(*figures.minGapMs, 'f', 3) : notAvailable;
    return QStringLiteral("pacing: messages %1, bytes %2, measured %3 s, model %4 s, ratio %5, "
                          "min gap %6 ms, cpu %7 %")
        .arg(figures.messages)
        .arg(figures.bytes)
        .arg(QString::number(figures.measuredSeconds, 'f', 3),
             QString::number(figures.modelSeconds, 'f', 3), ratio, gap,
             QString::number(figures.cpuPercent, 'f', 2));
}

} // namespace norvane
