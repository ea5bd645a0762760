// SPDX-License-Identifier: MIT
#include "send_to_ports.h"

#include "line_pacer.h"
#include "network_address.h"
#include "port_downloads.h"
#include "ports_progress.h"
#include "print_line.h"
#include "run_report.h"
#include "send_command.h"
#include "serial_port_factory.h"
#include "stop_signal.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <atomic>
#include <unistd.h>

namespace norvane {

namespace {

using namespace std::chrono_literals;

// How often the waiting thread looks for a stop signal, and how often it redraws the progress.
constexpr std::chrono::milliseconds PollInterval = 100ms;
constexpr std::chrono::milliseconds DrawInterval = 500ms;

// What makes two device names one device.
QString deviceIdentity(const QString &device)
{
    if (const std::optional<NetworkAddress> address = parseNetworkAddress(device))
        return QStringLiteral("network %1 %2")
            .arg(QString::fromLatin1(address->host.toLower()))
            .arg(address->port);
    const QString canonical = QFileInfo(device).canonicalFilePath();
    return canonical.isEmpty() ? device : canonical;
}

void printLine(const QString &line)
{
    norvane::printLine(stderr, line);
}

} // namespace

QString portDevice(const PortChoice &choice, const PortDevices &devices)
{
    if (!choice.device.isEmpty())
        return choice.device;
    const QString &mapped = devices[std::size_t(choice.portNumber - 1)];
    return mapped.isEmpty() ? defaultPortDevice(choice.portNumber) : mapped;
}

std::optional<QString> samePortTwice(const QList<PortChoice> &ports, const PortDevices &devices)
{
    QStringList identities;
    for (const PortChoice &choice : ports) {
        const QString device = portDevice(choice, devices);
        const QString identity = deviceIdentity(device);
        const qsizetype earlier = identities.indexOf(identity);
        if (earlier >= 0)
            return QStringLiteral("--port %1 and --port %2 are the same device")
                .arg(portDevice(ports[earlier], devices), device);
        identities << identity;
    }
    return std::nullopt;
}

int sendToPorts(const SendOptions &options, const DownloadRequest &request,
                const DownloadPlan &plan, const PortDevices &devices)
{
    const QList<PortChoice> &ports = options.line.ports;
    QStringList names;
    std::vector<DownloadRequest> requests;
    for (const PortChoice &choice : ports) {
        names << portDevice(choice, devices);
        requests.push_back(request);
        requests.back().portNumber = choice.portNumber;
    }

    // The signals are caught on this thread; the ports' threads see the stop asked for through
    // this, within a poll of this thread.
    std::atomic<StopRequest> stop{StopRequest::None};
    const StopCheck stopRequested = [&stop] { return stop.load(std::memory_order_relaxed); };
    // One thread writes the characters of all the ports, each at its own pace.
    LinePacer pacer;
    PortDownloads downloads(
        requests,
        [&](int i) {
            const PortChoice &choice = ports[i];
            PortDownloads::Parts parts;
            parts.port =
                choice.device.isEmpty() ? makeSerialPort(devices) : makeSerialPort(choice.device);
            auto line = std::make_unique<LinePacer::Line>(pacer, stopRequested);
            parts.records = line.get();
            parts.pause = std::move(line);
            return parts;
        },
        stopRequested);

    const bool drawProgress = !options.quiet && ::isatty(STDERR_FILENO) == 1;
    PortsProgress progress(plan, request, names, stderr);
    catchStopSignals();
    progress.start();
    downloads.start();
    QElapsedTimer sinceDrawn;
    sinceDrawn.start();
    if (drawProgress)
        progress.draw(downloads);
    while (!downloads.waitFor(PollInterval)) {
        const StopRequest asked = stopRequestedBySignal();
        if (stop.exchange(asked, std::memory_order_relaxed) != asked)
            pacer.checkStops();
        if (drawProgress && sinceDrawn.elapsed() >= DrawInterval.count()) {
            progress.draw(downloads);
            sinceDrawn.restart();
        }
    }
    if (drawProgress)
        progress.finish();

    bool failed = false;
    bool stopped = false;
    for (int i = 0; i < downloads.count(); ++i) {
        const DownloadResult &result = downloads.result(i);
        switch (result.outcome) {
        case DownloadOutcome::Failed:
            failed = true;
            printLine(failureText(result).replace(QLatin1Char('\n'), QStringLiteral(": ")));
            break;
        case DownloadOutcome::Stopped:
            stopped = true;
            printLine(result.device + QStringLiteral(": ") +
                      interruptedText(plan, result.charactersWritten));
            break;
        case DownloadOutcome::Completed:
            if (!options.quiet)
                printLine(result.device + QStringLiteral(": ") +
                          sentText(plan, result.charactersWritten, downloads.took(i),
                                   request.charPause, request.recordPause));
            break;
        }
    }
    return stopped ? ExitInterrupted : failed ? ExitPortError : ExitSent;
}

} // namespace norvane
