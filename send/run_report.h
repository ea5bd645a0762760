// SPDX-License-Identifier: MIT
#pragma once

#include "download_plan.h"

#include <QString>
#include <chrono>

namespace norvane {

// "1 message", "5 messages".
QString messagesText(qint64 count);
// Seconds with milliseconds: "2.871 s".
QString secondsText(std::chrono::milliseconds length);

// What a download that went through `written` bytes of `plan` tells at its end: "sent 5
// messages, 185 bytes in 2.871 s (the pauses alone: 2.850 s)".
QString sentText(const DownloadPlan &plan, qint64 written, std::chrono::milliseconds took,
                 std::chrono::milliseconds charPause, std::chrono::milliseconds recordPause);

// How far an interrupted download got: "interrupted after message 7", with the bytes of the
// message it broke off in when it did.
QString interruptedText(const DownloadPlan &plan, qint64 written);

} // namespace norvane
