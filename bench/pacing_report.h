// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QtGlobal>
#include <optional>

namespace norvane {

struct PacingFigures
{
    int messages = 0;
    qint64 bytes = 0;
    double measuredSeconds = 0;
    double modelSeconds = 0;
    std::optional<double> minGapMs; // none: fewer than two characters were written
    double cpuPercent = 0;
};

// "pacing: messages N, bytes B, measured S s, model M s, ratio R, min gap G ms, cpu C %".
// The ratio is measured / model, "n/a" when the model is 0; the gap is "n/a" when there is none.
QString pacingLine(const PacingFigures &figures);

} // namespace norvane
