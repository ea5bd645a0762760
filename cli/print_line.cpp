// SPDX-License-Identifier: MIT
#include "print_line.h"

namespace norvane {

void printLine(std::FILE *stream, const QString &line)
{
    // Once a write to the stream has failed (its reader has gone: EPIPE where SIGPIPE is
    // ignored), nothing more is written to it; the stream's error flag remembers that.
    if (std::ferror(stream))
        return;
    std::fputs((line + QLatin1Char('\n')).toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

} // namespace norvane
