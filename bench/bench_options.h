#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace norvane {

struct BenchOptions
{
    qint16 charDelay = 10;
    qint16 recordDelay = 200;
    std::optional<int> messages; // send 0..N-1 as a selection; none: send all
    int cr = 1;                  // the "CR" and "LF" check box values for --terminator
    int lf = 0;
    QString port; // write to this device instead of a pseudo-terminal of our own
};

struct BenchCommandLine
{
    enum class Outcome { Run, Help, Error };
    Outcome outcome = Outcome::Run;
    BenchOptions options;
    QString message; // help text or what was wrong
};

// Reads the benchmark's command line (arguments[0] is the program name).
BenchCommandLine parseBenchCommandLine(const QStringList &arguments);

} // namespace norvane
