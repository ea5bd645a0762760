// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <cstdio>

namespace norvane {

// Writes `line` and a line end to `stream` (standard output or error) in the terminal's
// encoding, and flushes it, so that what a program says appears in the order it says it.
void printLine(std::FILE *stream, const QString &line);

} // namespace norvane
