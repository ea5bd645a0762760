// SPDX-License-Identifier: MIT
#pragma once

#include <QFont>
#include <QString>

namespace norvane {

// A fixed-pitch font of the given size for the message list and the text fields: the system's
// fixed font, or a monospace family when the system's one is not fixed-pitch.
QFont fixedPitchFont(qreal pointSize);

// A small proportional font for the progress label, at most `pointSize` and shrunk until
// `sample` fits within `width` pixels.
QFont smallLabelFont(qreal pointSize, const QString &sample, int width);

} // namespace norvane
