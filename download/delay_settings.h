#pragma once

#include <QString>
#include <QtGlobal>

namespace norvane {

constexpr qint16 DefaultCharDelay = 10;    // ms after every character
constexpr qint16 DefaultRecordDelay = 200; // ms after every message

// How long the pause for a delay setting lasts, in milliseconds: a negative delay (the settings
// file may hold one) is no pause rather than an endless one.
constexpr qint32 pauseMilliseconds(qint16 delay)
{
    return delay < 0 ? 0 : delay;
}

// Sets CharDelay and RecordDelay: first the defaults, then the two fields after the first field
// "[Delay]" of the settings file `fileName`, if it has them (see readSettings). Never fails
// outward: a missing or unreadable file, a missing marker or value, or a value outside
// -32768..32767 leaves the defaults (or the first value with the second default) in place.
void ReadDelaySettings(qint16 &CharDelay, qint16 &RecordDelay, const QString &fileName);

} // namespace norvane
