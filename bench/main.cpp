// SPDX-License-Identifier: MIT
// norvane-bench-pacing: times the real download path (Qt serial port, steady pause, download
// run; with --window the main window itself) and compares it with the pauses it asked for. Not a
// test: its figures depend on the machine.

#include "arrival_recorder.h"
#include "bench_options.h"
#include "busy_loops.h"
#include "delay_settings.h"
#include "download_run.h"
#include "pacing_report.h"
#include "pipe_line.h"
#include "port_bench.h"
#include "print_line.h"
#include "process_times.h"
#include "pseudo_terminal.h"
#include "serial_port_factory.h"
#include "settings_file.h"
#include "steady_pause.h"
#include "timed_pause.h"
#include "timed_serial_port.h"
#include "window_download.h"

#include <QApplication>
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <memory>

namespace {

using namespace norvane;

double milliseconds(std::chrono::nanoseconds duration)
{
    return std::chrono::duration<double, std::milli>(duration).count();
}

const char *terminatorName(const QByteArray &terminator)
{
    static const char *const names[2][2] = {{"none", "lf"}, {"cr", "crlf"}};
    return names[terminator.contains('\r')][terminator.contains('\n')];
}

// What one measured download gave.
struct Measurement
{
    bool sent = false;
    QString message;
    // From the start to the end of the last message's pause, and from there to the end of the
    // download.
    std::chrono::nanoseconds paced{0};
    std::chrono::nanoseconds after{0};
    // From the start to the first write (opening the port), part of `paced`.
    std::optional<std::chrono::nanoseconds> beforeFirstWrite;
    // The processor time over `paced`.
    std::chrono::microseconds cpu{0};
    std::optional<std::chrono::milliseconds> stolen;
};

// Runs `download` with the busy loops going, timed.
template <typename Download>
Measurement measure(const BenchOptions &options, const TimedPause &pause, Download download)
{
    BusyLoops loops;
    if (!loops.start(options.load))
        printLine(stderr, QStringLiteral("norvane-bench-pacing: not all busy loops started"));
    Measurement m;
    const auto stolenBefore = stolenTime();
    const auto cpuBefore = processCpuTime();
    const auto started = std::chrono::steady_clock::now();
    m.sent = download();
    const auto ended = std::chrono::steady_clock::now();
    // Up to the end of the last message's pause, as the time is.
    m.cpu = pause.cpuAtMessageEnd().value_or(processCpuTime()) - cpuBefore;
    const auto stolenAfter = stolenTime();
    loops.stop();
    if (stolenBefore && stolenAfter)
        m.stolen = *stolenAfter - *stolenBefore;
    const auto pacedUntil = pause.lastReturn().value_or(ended);
    m.paced = pacedUntil - started;
    m.after = ended - pacedUntil;
    if (pause.firstWrite())
        m.beforeFirstWrite = *pause.firstWrite() - started;
    return m;
}

// What the priority was: how the pause handled it, how long the writer waited for a processor,
// how busy the rest of the machine was and how late its writes were (shares of the pauses), and
// how the writer ran at its first write.
QString priorityLine(SteadyPause::PriorityPolicy policy, const SteadyPause &pause,
                     const TimedSerialPort &port)
{
    const auto percent = [](double share) { return QString::number(share * 100.0, 'f', 2); };
    const QString waited =
        pause.waitShare()
            ? QStringLiteral("waited for a processor %1 %").arg(percent(*pause.waitShare()))
            : QStringLiteral("processor waits not measured (too short a run)");
    const QString others =
        pause.othersShare() ? QStringLiteral(", the rest of the machine took %1 % of a processor")
                                  .arg(percent(*pause.othersShare()))
                            : QString();
    const QString shares = QStringLiteral("%1%2, writes late by %3 % of the pauses")
                               .arg(waited, others, percent(pause.lateShare()));
    const QString seen =
        QStringLiteral(" (at the first write: %1)").arg(port.schedulingWhileWriting());
    const QString how = pause.priority().description();
    switch (policy) {
    case SteadyPause::PriorityPolicy::Normal:
        return QStringLiteral("priority: normal, not raised: --priority normal; %1%2")
            .arg(shares, seen);
    case SteadyPause::PriorityPolicy::Raised:
        return QStringLiteral("priority: raised for the run, %1; %2%3").arg(how, shares, seen);
    case SteadyPause::PriorityPolicy::WhenLate:
        break;
    }
    if (!pause.raisedAfter())
        return QStringLiteral("priority: adaptive, kept normal: %1%2").arg(shares, seen);
    const auto seconds = [](std::chrono::nanoseconds t) {
        return QString::number(std::chrono::duration<double>(t).count(), 'f', 2);
    };
    const QString raisedShare =
        pause.raisedLateShare()
            ? QStringLiteral("raised writes late by %1 %").arg(percent(*pause.raisedLateShare()))
            : QStringLiteral("not judged yet");
    QString line = QStringLiteral("priority: adaptive, raised after %1 s, when it had %2")
                       .arg(seconds(*pause.raisedAfter()), shares);
    if (pause.trials() > 1)
        line += QStringLiteral(" (tried %1 times)").arg(pause.trials());
    if (pause.loweredAfter())
        return line + QStringLiteral("; back to normal after %1 s, %2%3")
                          .arg(seconds(*pause.loweredAfter()), raisedShare, seen);
    return line +
           QStringLiteral(": %1, %2%3")
               .arg(how.startsWith(QLatin1String("not ")) ? how : QStringLiteral("raised, ") + how,
                    raisedShare, seen);
}

const char *policyName(SteadyPause::PriorityPolicy policy)
{
    switch (policy) {
    case SteadyPause::PriorityPolicy::Normal:
        return "normal";
    case SteadyPause::PriorityPolicy::Raised:
        return "raised";
    case SteadyPause::PriorityPolicy::WhenLate:
        break;
    }
    return "adaptive";
}

// One measured download and what it gave.
struct Run
{
    bool ok = false;
    PacingFigures figures;
    bool raised = false; // whether the writer ended the run raised
    int trials = 0;      // how often the writer was raised
    QStringList report;  // the lines before the "pacing:" line
};

// Downloads once to `device` (a pseudo-terminal of its own when empty), with the writer's
// priority handled as `policy` says, and measures it.
Run measureOnce(const BenchOptions &options, QString device, SteadyPause::PriorityPolicy policy)
{
    Run run;
    PseudoTerminal terminal;
    PipeLine pipe;
    std::unique_ptr<ArrivalRecorder> recorder;
    if (options.pipe) {
        if (!pipe.open()) {
            printLine(stderr,
                      QStringLiteral("norvane-bench-pacing: no pipe: ") + pipe.errorString());
            return run;
        }
        recorder = std::make_unique<ArrivalRecorder>(std::vector<int>{pipe.readFd()},
                                                     options.timeArrivals);
        if (!recorder->start()) {
            printLine(stderr, QStringLiteral("norvane-bench-pacing: cannot start the reader"));
            return run;
        }
    } else if (device.isEmpty()) {
        if (!terminal.open()) {
            printLine(stderr, QStringLiteral("norvane-bench-pacing: no pseudo-terminal: ") +
                                  terminal.errorString());
            return run;
        }
        device = terminal.slavePath();
        recorder = std::make_unique<ArrivalRecorder>(std::vector<int>{terminal.masterFd()},
                                                     options.timeArrivals);
        if (!recorder->start()) {
            printLine(stderr, QStringLiteral("norvane-bench-pacing: cannot start the reader"));
            return run;
        }
    }

    Measurement measurement;
    const TimedSerialPort *timed = nullptr;
    const TimedPause *pause = nullptr;
    std::unique_ptr<SerialPort> serialPort;
    std::unique_ptr<TimedSerialPort> port;
    std::unique_ptr<TimedPause> ownPause;
    std::unique_ptr<WindowDownload> window;
    if (options.window) {
        window = std::make_unique<WindowDownload>(options,
                                                  options.pipe ? QStringLiteral("pipe") : device,
                                                  policy, options.pipe ? &pipe : nullptr);
        if (!window->isReady()) {
            printLine(stderr, QStringLiteral("norvane-bench-pacing: cannot write the settings "
                                             "file for the window"));
            return run;
        }
        timed = &window->port();
        pause = &window->pause();
        measurement = measure(options, *pause, [&] { return window->click(); });
        measurement.message = window->message();
    } else {
        const DownloadRequest request = benchRequest(options);
        NoProgress progress;
        serialPort = options.pipe ? pipe.port() : makeSerialPort(device);
        port = std::make_unique<TimedSerialPort>(*serialPort, request.charPause);
        ownPause = std::make_unique<TimedPause>(std::make_unique<SteadyPause>());
        ownPause->steadyPause().setPriorityPolicy(policy);
        timed = port.get();
        pause = ownPause.get();
        DownloadResult result;
        measurement = measure(options, *pause, [&] {
            result = runDownload(request, *port, *ownPause, progress);
            return result.outcome == DownloadOutcome::Completed;
        });
        measurement.message = failureText(result);
    }

    if (recorder) {
        recorder->stop();
        // The reader stands in for the device: its time is not the writer's.
        measurement.cpu -= std::chrono::duration_cast<std::chrono::microseconds>(
            std::min<std::chrono::nanoseconds>(recorder->cpuTime(), measurement.cpu));
    }
    if (!measurement.sent) {
        printLine(stderr, QStringLiteral("norvane-bench-pacing: ") + measurement.message);
        return run;
    }

    const int sentMessages = options.messages.value_or(MessageCount);
    PacingFigures &figures = run.figures;
    figures.messages = sentMessages;
    figures.bytes = timed->writes();
    figures.measuredSeconds = std::chrono::duration<double>(measurement.paced).count();
    figures.modelSeconds =
        std::chrono::duration<double>(pacingModel(timed->writes(), sentMessages,
                                                  pauseLength(options.charDelay),
                                                  pauseLength(options.recordDelay)))
            .count();
    if (timed->minGap())
        figures.minGapMs = milliseconds(*timed->minGap());
    figures.cpuPercent = figures.measuredSeconds > 0
                             ? std::chrono::duration<double>(measurement.cpu).count() /
                                   figures.measuredSeconds * 100.0
                             : 0.0;

    const SteadyPause &steady = pause->steadyPause();
    run.raised = endedRaised(steady);
    run.trials = steady.trials();
    if (timed->writes() > 0)
        run.report << priorityLine(policy, steady, *timed);
    QString shortGaps =
        QStringLiteral("writer: gaps shorter than the char delay %1").arg(timed->shortGaps());
    if (timed->shortGaps() > 0)
        shortGaps += QStringLiteral(", by at most %1 us")
                         .arg(double(timed->largestShortfall().count()) / 1000.0, 0, 'f', 3);
    run.report << shortGaps;
    // What the pacing would have been without the machine's hold-ups: the program's own share.
    const QString withoutHoldUps =
        figures.modelSeconds > 0
            ? QStringLiteral(", ratio without them %1")
                  .arg((figures.measuredSeconds -
                        std::chrono::duration<double>(pause->heldUp()).count()) /
                           figures.modelSeconds,
                       0, 'f', 4)
            : QString();
    run.report << QStringLiteral("writer: held up by more than %1 ms %2 times, %3 ms in all%4")
                      .arg(milliseconds(TimedPause::HeldUpAfter), 0, 'f', 1)
                      .arg(pause->holdUps())
                      .arg(milliseconds(pause->heldUp()), 0, 'f', 3)
                      .arg(withoutHoldUps);
    // The rest of what came on top of the pauses: the floor's price (pauses counted from the
    // writes' ends), and everything else.
    run.report << QStringLiteral("writer: outside them, %1 ms from pauses counted from the writes' "
                                 "ends (%2 ms of it after writes preempted while they wrote: %3 "
                                 "of the run's %4), %5 ms later otherwise")
                      .arg(milliseconds(pause->pushedBack()), 0, 'f', 3)
                      .arg(milliseconds(pause->pushedBackPreempted()), 0, 'f', 3)
                      .arg(steady.preemptedWrites())
                      .arg(timed->writes())
                      .arg(milliseconds(pause->lateOtherwise()), 0, 'f', 3);
    if (measurement.stolen)
        run.report << QStringLiteral("machine: processor time taken by the host (steal) "
                                     "during the run %1 ms")
                          .arg(measurement.stolen->count());
    if (measurement.beforeFirstWrite)
        run.report << QStringLiteral("before the first write: %1 ms (opening the port; measured)")
                          .arg(milliseconds(*measurement.beforeFirstWrite), 0, 'f', 3);
    run.report << QStringLiteral("after the last message's pause: %1 ms to the end of the "
                                 "download (not measured)")
                      .arg(milliseconds(measurement.after), 0, 'f', 3);
    run.ok = true;
    if (recorder) {
        const QString gap = recorder->minGap()
                                ? QStringLiteral("min gap %1 ms, ")
                                      .arg(milliseconds(*recorder->minGap()), 0, 'f', 3)
                                : QString();
        run.report << QStringLiteral("reader: bytes %1, %2cpu %3 % (not counted)")
                          .arg(recorder->bytes().size())
                          .arg(gap)
                          .arg(std::chrono::duration<double>(recorder->cpuTime()).count() /
                                   std::max(figures.measuredSeconds, 1e-9) * 100.0,
                               0, 'f', 2);
        if (recorder->failed() || recorder->bytes().size() != timed->writes()) {
            printLine(stderr, QStringLiteral("norvane-bench-pacing: the reader got %1 of %2 bytes")
                                  .arg(recorder->bytes().size())
                                  .arg(timed->writes()));
            run.ok = false;
        }
    }
    return run;
}

double median(QVector<double> values)
{
    std::sort(values.begin(), values.end());
    const qsizetype n = values.size();
    return n == 0 ? 0.0 : n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

QString ratioText(const PacingFigures &figures)
{
    return figures.modelSeconds > 0
               ? QString::number(figures.measuredSeconds / figures.modelSeconds, 'f', 4)
               : QStringLiteral("n/a");
}

// Rounds of the three ways in turn (each round in another order, so that none always comes
// first); prints every run and, last, the medians side by side.
int compare(const BenchOptions &options, const QString &device)
{
    using Policy = SteadyPause::PriorityPolicy;
    const std::array<Policy, 3> policies{Policy::WhenLate, Policy::Raised, Policy::Normal};
    std::array<QVector<double>, 3> ratios, cpus;
    int raisedByItself = 0;
    int triedByItself = 0;
    for (int round = 0; round < *options.compareRounds; ++round) {
        for (int k = 0; k < 3; ++k) {
            const int which = (round + k) % 3;
            const Run run = measureOnce(options, device, policies[which]);
            if (!run.ok)
                return 1;
            const double ratio = run.figures.measuredSeconds / run.figures.modelSeconds;
            ratios[which].append(ratio);
            cpus[which].append(run.figures.cpuPercent);
            if (which == 0 && run.raised)
                ++raisedByItself;
            if (which == 0 && run.trials > 0)
                ++triedByItself;
            // Whether the adaptive writer kept its own priority, ended raised, or tried raising
            // and went back: the last two differ in ratio on an idle machine.
            QString how;
            if (which == 0)
                how =
                    run.raised ? QStringLiteral(", raised")
                    : run.trials > 0
                        ? QStringLiteral(", raised and back to normal (trials %1)").arg(run.trials)
                        : QStringLiteral(", kept normal");
            printLine(stdout, QStringLiteral("round %1, %2: ratio %3, cpu %4 %%5")
                                  .arg(round + 1)
                                  .arg(QLatin1String(policyName(policies[which])))
                                  .arg(ratioText(run.figures))
                                  .arg(run.figures.cpuPercent, 0, 'f', 2)
                                  .arg(how));
        }
    }
    const auto figure = [&](int which) {
        return QStringLiteral("%1 %2 (cpu %3 %)")
            .arg(QLatin1String(policyName(policies[which])))
            .arg(median(ratios[which]), 0, 'f', 4)
            .arg(median(cpus[which]), 0, 'f', 2);
    };
    printLine(stdout, QStringLiteral("compare: rounds %1, median ratio: %2, %3, %4; adaptive "
                                     "ended raised in %5 of %1, tried raising in %6")
                          .arg(*options.compareRounds)
                          .arg(figure(0), figure(1), figure(2))
                          .arg(raisedByItself)
                          .arg(triedByItself));
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const BenchCommandLine commandLine = parseBenchCommandLine(arguments);
    if (commandLine.outcome == BenchCommandLine::Outcome::Help) {
        printLine(stdout, commandLine.message);
        return 0;
    }
    if (commandLine.outcome == BenchCommandLine::Outcome::Error) {
        printLine(stderr, QStringLiteral("norvane-bench-pacing: ") + commandLine.message);
        return 2;
    }
    const BenchOptions &options = commandLine.options;

    // The window needs no screen: without one it is drawn off-screen, as in the tests.
    if (options.window && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") &&
        qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const std::unique_ptr<QCoreApplication> app =
        options.window ? std::make_unique<QApplication>(argc, argv)
                       : std::make_unique<QCoreApplication>(argc, argv);

    QString device;
    if (options.port)
        device = options.port->device.isEmpty()
                     ? readSettingsFile(SettingsFileName).ports[options.port->portNumber - 1]
                     : options.port->device;
    printLine(stdout,
              QStringLiteral("bench: device %1, terminator %2, char delay %3 ms, record "
                             "delay %4 ms, messages %5, busy loops %6%7")
                  .arg(device.isEmpty() ? QStringLiteral("a pseudo-terminal of its own") : device,
                       QLatin1String(terminatorName(options.terminator)))
                  .arg(options.charDelay)
                  .arg(options.recordDelay)
                  .arg(options.messages.value_or(MessageCount))
                  .arg(options.load)
                  .arg(options.window ? QStringLiteral(", through the main window") : QString()));

    if (options.compareRounds)
        return compare(options, device);
    if (options.ports > 0)
        return benchPorts(options);
    const Run run = measureOnce(options, device, options.priority);
    for (const QString &line : run.report)
        printLine(stdout, line);
    if (run.report.isEmpty() && !run.ok)
        return 1;
    printLine(stdout, pacingLine(run.figures));
    return run.ok ? 0 : 1;
}
