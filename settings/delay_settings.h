// SPDX-License-Identifier: MIT
#pragma once

#include <QtGlobal>
#include <chrono>

namespace norvane {

constexpr qint16 DefaultCharDelay = 10;    // ms after every character
constexpr qint16 DefaultRecordDelay = 200; // ms after every message

// How long the pause for a delay setting lasts: a negative delay (the settings file may hold
// one) is no pause rather than an endless one.
constexpr std::chrono::milliseconds pauseLength(qint16 delay)
{
    return std::chrono::milliseconds(delay < 0 ? 0 : delay);
}

} // namespace norvane
