// SPDX-License-Identifier: MIT
#include "send_command.h"

#include "changed_selection.h"
#include "delay_settings.h"
#include "download_plan.h"
#include "download_run.h"
#include "interruptible_pause.h"
#include "message_file.h"
#include "print_line.h"
#include "run_report.h"
#include "send_to_ports.h"
#include "serial_port_factory.h"
#include "settings_file.h"
#include "steady_pause.h"
#include "stop_signal.h"
#include "stream_serial_port.h"
#include "terminal_progress.h"

#include <QElapsedTimer>
#include <cstdio>
#include <memory>
#include <unistd.h>

namespace norvane {

namespace {

// A dry run's pauses take no time.
class NoPause : public Pause
{
public:
    void markWrite() override {}
    void pause(std::chrono::milliseconds) override {}
};

void printLine(const QString &line)
{
    norvane::printLine(stderr, line);
}

} // namespace

int sendMessageFile(const SendOptions &options)
{
    // The settings file is read once, as the window reads it at start-up.
    const Settings settings = readSettingsFile(SettingsFileName);
    const PortChoice port = options.line.port.value_or(PortChoice());
    if (const std::optional<QString> twice = samePortTwice(options.line.ports, settings.ports)) {
        printLine(QStringLiteral("norvane-send: ") + *twice);
        return ExitUsageError;
    }

    DownloadRequest request;
    // A file that "Load" would report ends here, before any port is touched.
    if (!readMessageFile(options.file, request.messages)) {
        printLine(QStringLiteral("Error while reading data from file: ") + options.file);
        return ExitFileError;
    }
    request.selection = options.selection;
    if (const std::optional<int> status = selectChangedMessages(options, request))
        return *status;
    request.terminator = options.line.terminator.value_or(QByteArray("\r"));
    request.portNumber = port.portNumber;
    request.charPause = pauseLength(options.line.charDelay.value_or(settings.CharDelay));
    request.recordPause = pauseLength(options.line.recordDelay.value_or(settings.RecordDelay));
    const DownloadPlan plan(request.messages, request.selection, request.terminator);
    const std::chrono::milliseconds model =
        pacingModel(plan.totalBytes(), plan.messageCount(), request.charPause, request.recordPause);

    if (options.dryRun) {
        StreamSerialPort output(stdout, QStringLiteral("standard output"));
        NoPause pause;
        NoProgress progress;
        const DownloadResult result = runDownload(request, output, pause, progress);
        if (result.outcome == DownloadOutcome::Failed) {
            printLine(failureText(result));
            return ExitPortError;
        }
        if (!options.quiet)
            printLine(QStringLiteral("dry run: %1, %2 bytes; on the line at least %3 "
                                     "(pauses of %4 and %5 ms)")
                          .arg(messagesText(plan.messageCount()))
                          .arg(result.charactersWritten)
                          .arg(secondsText(model))
                          .arg(request.charPause.count())
                          .arg(request.recordPause.count()));
        return ExitSent;
    }
    if (options.line.ports.size() > 1)
        return sendToPorts(options, request, plan, settings.ports);

    const std::unique_ptr<SerialPort> serialPort =
        port.device.isEmpty() ? makeSerialPort(settings.ports) : makeSerialPort(port.device);
    SteadyPause steadyPause;
    InterruptiblePause pause(steadyPause, stopRequestedBySignal);
    TerminalProgress terminalProgress(plan, request, stderr);
    NoProgress noProgress;
    const bool drawProgress = !options.quiet && ::isatty(STDERR_FILENO) == 1;
    ProgressView &progress = drawProgress ? static_cast<ProgressView &>(terminalProgress)
                                          : static_cast<ProgressView &>(noProgress);

    catchStopSignals();
    QElapsedTimer clock;
    clock.start();
    if (drawProgress)
        terminalProgress.start();
    const DownloadResult result =
        runDownload(request, *serialPort, pause, progress, stopRequestedBySignal);
    if (drawProgress)
        terminalProgress.finish();
    const std::chrono::milliseconds took(clock.elapsed());

    if (result.outcome == DownloadOutcome::Failed) {
        printLine(failureText(result));
        return ExitPortError;
    }
    if (result.outcome == DownloadOutcome::Stopped)
        printLine(interruptedText(plan, result.charactersWritten));
    if (!options.quiet)
        printLine(
            sentText(plan, result.charactersWritten, took, request.charPause, request.recordPause));
    return result.outcome == DownloadOutcome::Stopped ? ExitInterrupted : ExitSent;
}

} // namespace norvane
