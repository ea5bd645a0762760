// SPDX-License-Identifier: MIT
// Loads the message file named on the command line into a table of "old" entries, in a process
// of its own, and prints whether the load succeeded, entry 0 in hex and the peak resident memory
// of the process in KiB.

#include "message_file.h"

#include <QFile>

#include <cstdio>

int main(int argc, char **argv)
{
    if (argc != 2)
        return 2;
    norvane::MessageTable messages;
    messages.fill("old");
    const bool loaded = norvane::readMessageFile(QFile::decodeName(argv[1]), messages);
    // VmHWM rather than getrusage(): the latter also counts the peak of the process this one
    // was forked from before its exec.
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 1;
    QByteArray peak;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            peak = line.mid(6).trimmed().split(' ').value(0);
    std::printf("%d %s %s\n", int(loaded), messages[0].toHex().constData(), peak.constData());
    return peak.isEmpty() ? 1 : 0;
}
