// SPDX-License-Identifier: MIT
#include "port_bench.h"

#include "arrival_recorder.h"
#include "busy_loops.h"
#include "line_pacer.h"
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
    int holdUps = 0; // writes held up by the machine
    std::chrono::nanoseconds heldUp{0};
    std::chrono::nanoseconds pushedBack{0}; // pauses moved back by the writes themselves
    std::chrono::nanoseconds cpu{0};        // the port's thread, from its start
};

// What the thread that writes for all the ports gave, noted when it ended.
struct PacerFigures
{
    bool raised = false;
    std::optional<std::chrono::nanoseconds> raisedAfter;
    std::optional<std::chrono::nanoseconds> loweredAfter;
    int trials = 0;
    QString priority;
    // How long the thread waited for a processor, and how much of one the rest of the machine
    // took, as shares of its time (when it raised, or over its last writes).
    std::optional<double> waitShare;
    std::optional<double> othersShare;
    std::chrono::nanoseconds cpu{0};
};

double seconds(std::chrono::nanoseconds duration)
{
    return std::chrono::duration<double>(duration).count();
}

// When the writing thread's priority was raised, and when it went back to normal.
QString raiseNote(const PacerFigures &f)
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

// How long the writing thread waited for a processor and how much of one the rest of the machine
// took, for the priority line; empty when not measured.
QString waitsNote(const PacerFigures &f)
{
    if (!f.waitShare)
        return {};
    QString note = QStringLiteral("; the writing thread waited for a processor %1 % of its time")
                       .arg(*f.waitShare * 100.0, 0, 'f', 2);
    if (f.othersShare)
        note += QStringLiteral(", the rest of the machine took %1 % of a processor")
                    .arg(*f.othersShare * 100.0, 0, 'f', 2);
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
    PacerFigures pacerFigures;
    // As norvane-send: one thread writes for all the ports, each at its own pace.
    auto pacer =
        std::make_unique<LinePacer>(options.priority, [&pacerFigures](const SteadyPause &steady) {
            pacerFigures.raised = endedRaised(steady);
            pacerFigures.raisedAfter = steady.raisedAfter();
            pacerFigures.loweredAfter = steady.loweredAfter();
            pacerFigures.trials = steady.trials();
            pacerFigures.priority = steady.priority().description();
            pacerFigures.waitShare = steady.waitShare();
            pacerFigures.othersShare = steady.othersShare();
            pacerFigures.cpu = threadCpuTime();
        });
    PortDownloads downloads(std::vector<DownloadRequest>(std::size_t(count), request), [&](int i) {
        auto port = std::make_unique<TimedSerialPort>(
            makeSerialPort(terminals[std::size_t(i)]->slavePath()), request.charPause);
        auto line = std::make_unique<LinePacer::Line>(*pacer, StopCheck());
        PortDownloads::Parts parts;
        parts.afterRun = [&figures, i, timed = port.get(), paced = line.get()] {
            PortFigures &f = figures[std::size_t(i)];
            f.writes = timed->writes();
            f.minGap = timed->minGap();
            f.shortGaps = timed->shortGaps();
            f.largestShortfall = timed->largestShortfall();
            f.lastReturn = paced->pausesEnded();
            f.holdUps = paced->holdUps();
            f.heldUp = paced->heldUp();
            f.pushedBack = paced->pushedBack();
            f.cpu = threadCpuTime();
        };
        parts.port = std::move(port);
        parts.records = line.get();
        parts.pause = std::move(line);
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
    pacer.reset();
    std::chrono::nanoseconds cpu = processCpuTime() - cpuBefore;
    const auto stolenAfter = stolenTime();
    loops.stop();

    bool ok = true;
    PacingFigures all;
    all.messages = options.messages.value_or(MessageCount);
    std::chrono::nanoseconds slowest{0};
    std::chrono::nanoseconds portsCpu{0};
    qint64 shortGaps = 0;
    std::chrono::nanoseconds largestShortfall{0};
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
                                 "%6, held up %7 times (%8 ms, ratio without them %9), pauses "
                                 "counted from the writes' ends %10 ms, its thread's cpu %11 %")
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
                      .arg(model > 0 ? QString::number(seconds(measured - f.heldUp) / model, 'f', 4)
                                     : QStringLiteral("n/a"))
                      .arg(seconds(f.pushedBack) * 1000, 0, 'f', 1)
                      .arg(seconds(measured) > 0 ? seconds(f.cpu) / seconds(measured) * 100.0 : 0.0,
                           0, 'f', 2));
        all.bytes = f.writes;
        all.modelSeconds = model;
        slowest = std::max(slowest, measured);
        if (f.minGap && (!all.minGapMs || seconds(*f.minGap) * 1000 < *all.minGapMs))
            all.minGapMs = seconds(*f.minGap) * 1000;
        portsCpu += f.cpu;
        shortGaps += f.shortGaps;
        largestShortfall = std::max(largestShortfall, f.largestShortfall);
    }
    all.measuredSeconds = seconds(slowest);
    all.cpuPercent = all.measuredSeconds > 0 ? seconds(cpu) / all.measuredSeconds * 100.0 : 0.0;

    printLine(stdout,
              QStringLiteral("priority: %1, the writing thread %2%3%4")
                  .arg(QLatin1String(
                      options.priority == SteadyPause::PriorityPolicy::Normal   ? "normal"
                      : options.priority == SteadyPause::PriorityPolicy::Raised ? "raised"
                                                                                : "adaptive"))
                  .arg(pacerFigures.raised
                           ? QStringLiteral("ended raised (") + pacerFigures.priority + ')'
                           : QStringLiteral("ended at normal priority"))
                  .arg(raiseNote(pacerFigures))
                  .arg(waitsNote(pacerFigures)));
    QString gaps = QStringLiteral("writers: gaps shorter than the char delay %1").arg(shortGaps);
    if (shortGaps > 0)
        gaps += QStringLiteral(", by at most %1 us")
                    .arg(double(largestShortfall.count()) / 1000.0, 0, 'f', 3);
    const auto share = [&all](std::chrono::nanoseconds time) {
        return seconds(time) / std::max(all.measuredSeconds, 1e-9) * 100.0;
    };
    printLine(stdout,
              gaps + QStringLiteral("; the writing thread took %1 % of a processor, the "
                                    "ports' threads %2 %, the rest of the benchmark %3 %")
                         .arg(share(pacerFigures.cpu), 0, 'f', 2)
                         .arg(share(portsCpu), 0, 'f', 2)
                         .arg(std::max(share(cpu - pacerFigures.cpu - portsCpu), 0.0), 0, 'f', 2));
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
