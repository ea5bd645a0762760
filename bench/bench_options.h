// SPDX-License-Identifier: MIT
#pragma once

#include "delay_settings.h"
#include "download_run.h"
#include "line_options.h"
#include "steady_pause.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

namespace norvane {

struct BenchOptions
{
    qint16 charDelay = DefaultCharDelay;
    qint16 recordDelay = DefaultRecordDelay;
    std::optional<int> messages; // send 0..N-1 as a selection; none: send all
    QByteArray terminator = "\r";
    std::optional<PortChoice> port; // write there instead of a pseudo-terminal of our own
    int load = 0;                   // busy loops kept running during the measurement
    bool window = false;            // download through the main window instead of the run alone
    // Wake the reader of the pseudo-terminal for every character and time its arrival, instead of
    // collecting what arrived every few milliseconds.
    bool timeArrivals = false;
    // How the writer's scheduling priority is handled: as the program does by itself (raised
    // once the writes are late), raised for the whole run, or never.
    SteadyPause::PriorityPolicy priority = SteadyPause::PriorityPolicy::WhenLate;
    // Run that many rounds of the three ways, one after another, and compare them.
    std::optional<int> compareRounds;
    // Download to that many pseudo-terminals of its own at once, each port on a thread of its
    // own as norvane-send sends to several ports; 0: one download on the main thread.
    int ports = 0;
    // Write into a pipe of its own instead of a pseudo-terminal: a write that hands the byte over
    // and wakes nothing, as a serial driver's does.
    bool pipe = false;
};

struct BenchCommandLine
{
    enum class Outcome { Run, Help, Error };
    Outcome outcome = Outcome::Run;
    BenchOptions options;
    QString message; // the help or version text, or what was wrong
};

// Reads the benchmark's command line (arguments[0] is the program name).
BenchCommandLine parseBenchCommandLine(const QStringList &arguments);

// What the options ask to send: messages "MESSAGE 000" to "MESSAGE 999", all or 0..N-1, with
// the options' terminator and pauses.
DownloadRequest benchRequest(const BenchOptions &options);

} // namespace norvane
