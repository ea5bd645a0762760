// SPDX-License-Identifier: MIT
#include "send_to_ports.h"

#include "interruptible_pause.h"
#include "network_address.h"
#include "port_downloads.h"
#include "ports_progress.h"
#include "print_line.h"
#include "run_report.h"
#include "send_command.h"
#include "serial_port_factory.h"
#include "steady_pause.h"
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

// A port's pause: the steady pause of a single run, cut short by a stop as a single run's is.
class PortPause : public Pause
{
public:
    PortPause(StopCheck stopRequested, std::shared_ptr<SteadyPause::Group> group)
        : m_pause(m_steady, std::move(stopRequested))
    {
        m_steady.setGroup(std::move(group));
    }

    void beginRun() override { m_pause.beginRun(); }
    void endRun() override { m_pause.endRun(); }
    void markWrite() override { m_pause.markWrite(); }
    void pause(std::chrono::milliseconds length) override { m_pause.pause(length); }

private:
    SteadyPause m_steady;
    InterruptiblePause m_pause;
};

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
    const auto group = std::make_shared<SteadyPause::Group>();
    PortDownloads downloads(
        requests,
        [&](int i) {
            const PortChoice &choice = ports[i];
            PortDownloads::Parts parts;
            parts.port =
                choice.device.isEmpty() ? makeSerialPort(devices) : makeSerialPort(choice.device);
            parts.pause = std::make_unique<PortPause>(stopRequested, group);
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
        stop.store(stopRequestedBySignal(), std::memory_order_relaxed);
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
