// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace norvane {

struct DeviceOptions
{
    int charDelayMs = 0;               // gaps inside a pair shorter than this are flagged
                                       // (beyond 0.1 ms of wake-up jitter)
    QString saveFile;                  // where to write the received table; empty: nowhere
    std::optional<double> idleSeconds; // exit after this long without data
    bool quiet = false;                // no display lines, only warnings and the summary
    QString tcpAddress;                // "HOST:PORT" to listen on instead of a pseudo-terminal
};

struct DeviceCommandLine
{
    enum class Outcome { Run, Help, Error };
    Outcome outcome = Outcome::Run;
    DeviceOptions options;
    QString message; // the help or version text, or what was wrong with the command line
};

// Reads the virtual device's command line (arguments[0] is the program name).
DeviceCommandLine parseDeviceCommandLine(const QStringList &arguments);

} // namespace norvane
