// SPDX-License-Identifier: MIT
#include "port_bench.h"

#include "arrival_recorder.h"
#include "busy_loops.h"
#include "pacing_report.h"
#include "port_downloads.h"
#include "print_line.h"
#include "process_times.h"
#include "pseudo_terminal.h"
#include "serial_port_factory.h"
#include "timed_pause.h"
#include "timed_serial_port.h"

#include <algorithm>
#include <memory>
#include <vector>

namespace norvane {

namespace {

using Clock = std::chrono::steady_clock;

// What one port's download gave, noted on its own thread when it ended.
struct PortFigures
{
    qint64 writes = 0;
    std::optional<std::chrono::nanoseconds> minGap;
    qint64 shortGaps = 0;
    std::chrono::nanoseconds largestShortfall{0};
    std::optional<Clock::time_point> lastReturn;
    bool raised = false;
    std::optional<std::chrono::nanoseconds> raisedAfter;
    std::optional<std::chrono::nanoseconds> loweredAfter;
    int trials = 0;
    QString priority;
    // How long the port's thread waited for a processor, and how much of one the rest of the
    // machine took, as shares of the pauses (when it raised, or over its last writes).
    std::optional<double> waitShare;
    std::optional<double> othersShare;
    int holdUps = 0; // writes held up by the machine (TimedPause)
    std::chrono::nanoseconds heldUp{0};
    std::chrono::nanoseconds cpu{0}; // the port's thread, from its start
};

double seconds(std::chrono::nanoseconds duration)
{
    return std::chrono::duration<double>(duration).count();
}

// When the port's priority was raised, and when it went back to normal, for its line.
QString raiseNote(const PortFigures &f)
{
    if (!f.raisedAfter)
        return {};
    QString note = QStringLiteral(", raised after %1 s (trials %2)")
                       .arg(seconds(*f.raisedAfter), 0, 'f', 2)
                       .arg(f.trials);
    if (f.loweredAfter)
        note +=
            QStringLiteral(", back to normal after %1 s").arg(seconds(*f.loweredAfter), 0, 'f', 2);
    return note;
}

// How long the ports' threads waited for a processor and how much of one the rest of the machine
// took, as shares of the pauses, for the priority line; empty when not measured.
QString waitsNote(std::optional<double> fewest, std::optional<double> most,
                  std::optional<double> others)
{
    if (!fewest || !most)
        return {};
    QString note = QStringLiteral("; the ports waited for a processor %1 to %2 % of their pauses")
                       .arg(*fewest * 100.0, 0, 'f', 2)
                       .arg(*most * 100.0, 0, 'f', 2);
    if (others)
        note += QStringLiteral(", the rest of the machine took up to %1 % of a processor")
                    .arg(*others * 100.0, 0, 'f', 2);
    return note;
}

void complain(const QString &text)
{
    printLine(stderr, QStringLiteral("norvane-bench-pacing: ") + text);
}

} // namespace

int benchPorts(const BenchOptions &options)
{
    const int count = options.ports;
    std::vector<std::unique_ptr<PseudoTerminal>> terminals;
    std::vector<int> farEnds;
    for (int i = 0; i < count; ++i) {
        terminals.push_back(std::make_unique<PseudoTerminal>());
        if (!terminals.back()->open()) {
            complain(QStringLiteral("no pseudo-terminal: ") + terminals.back()->errorString());
            return 1;
        }
        farEnds.push_back(terminals.back()->masterFd());
    }
    // One reader for all the lines: a reader each would wake the machine once per line.
    ArrivalRecorder recorder(farEnds, options.timeArrivals);
    if (!recorder.start()) {
        complain(QStringLiteral("cannot start the reader"));
        return 1;
    }

    const DownloadRequest request = benchRequest(options);
    std::vector<PortFigures> figures(static_cast<std::size_t>(count));
    const auto group = std::make_shared<SteadyPause::Group>();
    PortDownloads downloads(std::vector<DownloadRequest>(std::size_t(count), request), [&](int i) {
        auto port = std::make_unique<TimedSerialPort>(
            makeSerialPort(terminals[std::size_t(i)]->slavePath()), request.charPause);
        auto steady = std::make_unique<SteadyPause>();
        steady->setPriorityPolicy(options.priority);
        steady->setGroup(group);
        auto pause = std::make_unique<TimedPause>(std::move(steady));
        PortDownloads::Parts parts;
        parts.afterRun = [&figures, i, timed = port.get(), paused = pause.get()] {
            PortFigures &f = figures[std::size_t(i)];
            f.writes = timed->writes();
            f.minGap = timed->minGap();
            f.shortGaps = timed->shortGaps();
            f.largestShortfall = timed->largestShortfall();
            f.lastReturn = paused->lastReturn();
            f.holdUps = paused->holdUps();
            f.heldUp = paused->heldUp();
            const SteadyPause &steady = paused->steadyPause();
            f.raised = endedRaised(steady);
            f.raisedAfter = steady.raisedAfter();
            f.loweredAfter = steady.loweredAfter();
            f.trials = steady.trials();
            f.priority = steady.priority().description();
            f.waitShare = steady.waitShare();
            f.othersShare = steady.othersShare();
            f.cpu = threadCpuTime();
        };
        parts.port = std::move(port);
        parts.pause = std::move(pause);
        return parts;
    });

    BusyLoops loops;
    if (!loops.start(options.load))
        complain(QStringLiteral("not all busy loops started"));
    const auto stolenBefore = stolenTime();
    const auto cpuBefore = processCpuTime();
    const Clock::time_point started = Clock::now();
    downloads.start();
    while (!downloads.waitFor(std::chrono::seconds(1))) {
    }
    std::chrono::nanoseconds cpu = processCpuTime() - cpuBefore;
    const auto stolenAfter = stolenTime();
    loops.stop();

    bool ok = true;
    PacingFigures all;
    all.messages = options.messages.value_or(MessageCount);
    std::chrono::nanoseconds slowest{0};
    std::chrono::nanoseconds writersCpu{0};
    qint64 shortGaps = 0;
    std::chrono::nanoseconds largestShortfall{0};
    int raised = 0;
    QString howRaised;
    std::optional<double> fewestWaits;
    std::optional<double> mostWaits;
    std::optional<double> othersShare;
    recorder.stop();
    // The reader stands in for the devices: its time is not the writers'.
    cpu -= std::min(recorder.cpuTime(), cpu);
    for (int i = 0; i < count; ++i) {
        const std::size_t k = std::size_t(i);
        const DownloadResult &result = downloads.result(i);
        const PortFigures &f = figures[k];
        if (result.outcome != DownloadOutcome::Completed) {
            complain(failureText(result));
            ok = false;
            continue;
        }
        if (recorder.failed() || recorder.bytes(k).size() != f.writes) {
            complain(QStringLiteral("the reader of port %1 got %2 of %3 bytes")
                         .arg(i + 1)
                         .arg(recorder.bytes(k).size())
                         .arg(f.writes));
            ok = false;
        }
        const std::chrono::nanoseconds measured = f.lastReturn.value_or(started) - started;
        const double model =
            seconds(pacingModel(f.writes, all.messages, request.charPause, request.recordPause));
        printLine(stdout,
                  QStringLiteral("port %1 %2: bytes %3, ratio %4, min gap %5 ms, short gaps "
                                 "%6, held up %7 times (%8 ms), cpu %9 %%10")
                      .arg(i + 1)
                      .arg(terminals[k]->slavePath())
                      .arg(f.writes)
                      .arg(model > 0 ? QString::number(seconds(measured) / model, 'f', 4)
                                     : QStringLiteral("n/a"))
                      .arg(f.minGap ? QString::number(seconds(*f.minGap) * 1000, 'f', 3)
                                    : QStringLiteral("n/a"))
                      .arg(f.shortGaps)
                      .arg(f.holdUps)
                      .arg(seconds(f.heldUp) * 1000, 0, 'f', 1)
                      .arg(seconds(measured) > 0 ? seconds(f.cpu) / seconds(measured) * 100.0 : 0.0,
                           0, 'f', 2)
                      .arg(raiseNote(f)));
        all.bytes = f.writes;
        all.modelSeconds = model;
        slowest = std::max(slowest, measured);
        if (f.minGap && (!all.minGapMs || seconds(*f.minGap) * 1000 < *all.minGapMs))
            all.minGapMs = seconds(*f.minGap) * 1000;
        writersCpu += f.cpu;
        shortGaps += f.shortGaps;
        largestShortfall = std::max(largestShortfall, f.largestShortfall);
        if (f.raised) {
            ++raised;
            howRaised = f.priority;
        }
        if (f.waitShare) {
            fewestWaits = std::min(fewestWaits.value_or(*f.waitShare), *f.waitShare);
            mostWaits = std::max(mostWaits.value_or(*f.waitShare), *f.waitShare);
        }
        if (f.othersShare)
            othersShare = std::max(othersShare.value_or(*f.othersShare), *f.othersShare);
    }
    all.measuredSeconds = seconds(slowest);
    all.cpuPercent = all.measuredSeconds > 0 ? seconds(cpu) / all.measuredSeconds * 100.0 : 0.0;

    printLine(
        stdout,
        QStringLiteral("priority: %1, ended raised in %2 of %3 ports%4")
                .arg(QLatin1String(
                    options.priority == SteadyPause::PriorityPolicy::Normal   ? "normal"
                    : options.priority == SteadyPause::PriorityPolicy::Raised ? "raised"
                                                                              : "adaptive"))
                .arg(raised)
                .arg(count)
                .arg(raised > 0 ? QStringLiteral(" (") + howRaised + QLatin1Char(')') : QString()) +
            waitsNote(fewestWaits, mostWaits, othersShare));
    QString gaps = QStringLiteral("writers: gaps shorter than the char delay %1").arg(shortGaps);
    if (shortGaps > 0)
        gaps += QStringLiteral(", by at most %1 us")
                    .arg(double(largestShortfall.count()) / 1000.0, 0, 'f', 3);
    printLine(stdout,
              gaps + QStringLiteral("; the ports' threads took %1 % of a processor, the "
                                    "rest of the benchmark %2 %")
                         .arg(seconds(writersCpu) / std::max(all.measuredSeconds, 1e-9) * 100.0, 0,
                              'f', 2)
                         .arg(std::max(seconds(cpu) - seconds(writersCpu), 0.0) /
                                  std::max(all.measuredSeconds, 1e-9) * 100.0,
                              0, 'f', 2));
    if (stolenBefore && stolenAfter)
        printLine(stdout, QStringLiteral("machine: processor time taken by the host (steal) "
                                         "during the run %1 ms")
                              .arg((*stolenAfter - *stolenBefore).count()));
    if (!ok)
        return 1;
    printLine(stdout, pacingLine(all));
    return 0;
}

} // namespace norvane
