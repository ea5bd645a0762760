// norvane-bench-pacing: times the real download path (Qt serial port, steady pause, download
// run) and compares it with the pauses it asked for. Not a test: its figures depend on the
// machine.

#include "arrival_recorder.h"
#include "bench_options.h"
#include "delay_settings.h"
#include "download_controls.h"
#include "download_run.h"
#include "message_box_view.h"
#include "pacing_report.h"
#include "progress_view.h"
#include "pseudo_terminal.h"
#include "serial_port_factory.h"
#include "steady_pause.h"
#include "timed_serial_port.h"

#include <QCoreApplication>
#include <chrono>
#include <cstdio>
#include <memory>
#include <sys/resource.h>

namespace {

using namespace norvane;

// The main window as the benchmark plays it: "Com1" chosen, the check boxes from --terminator,
// lines 0..N-1 selected.
class BenchControls : public DownloadControls
{
public:
    BenchControls(const BenchOptions &options) : m_options(options) {}
    Qt::CheckState crCheckState() const override { return m_options.cr; }
    Qt::CheckState lfCheckState() const override { return m_options.lf; }
    bool optionValue(int i) const override { return i == 0; }
    void setOptionEnabled(int, bool) override {}
    bool isLineSelected(int j) const override { return j < m_options.messages.value_or(0); }
    void hideMainWindow() override {}
    void showMainWindow() override {}

private:
    const BenchOptions &m_options;
};

class NullProgress : public ProgressView
{
public:
    void setValue(float) override {}
    void setCaption(const QString &) override {}
    void refresh() override {}
    void show() override {}
    void hide() override {}
};

class KeepMessage : public MessageBoxView
{
public:
    void showMessage(const QString &text) override { message = text; }
    QString message;
};

void printLine(std::FILE *stream, const QString &line)
{
    std::fputs(line.toLocal8Bit().constData(), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
}

std::chrono::microseconds cpuTime()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto time = [](const timeval &t) {
        return std::chrono::seconds(t.tv_sec) + std::chrono::microseconds(t.tv_usec);
    };
    return time(usage.ru_utime) + time(usage.ru_stime);
}

double milliseconds(std::chrono::nanoseconds duration)
{
    return std::chrono::duration<double, std::milli>(duration).count();
}

const char *terminatorName(const BenchOptions &options)
{
    static const char *const names[2][2] = {{"none", "lf"}, {"cr", "crlf"}};
    return names[options.cr == Qt::Checked][options.lf == Qt::Checked];
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const BenchCommandLine commandLine = parseBenchCommandLine(app.arguments());
    if (commandLine.outcome == BenchCommandLine::Outcome::Help) {
        printLine(stdout, commandLine.message);
        return 0;
    }
    if (commandLine.outcome == BenchCommandLine::Outcome::Error) {
        printLine(stderr, QStringLiteral("norvane-bench-pacing: ") + commandLine.message);
        return 2;
    }
    const BenchOptions &options = commandLine.options;

    PseudoTerminal terminal;
    std::unique_ptr<ArrivalRecorder> recorder;
    QString device = options.port;
    if (device.isEmpty()) {
        if (!terminal.open()) {
            printLine(stderr, QStringLiteral("norvane-bench-pacing: no pseudo-terminal: ") +
                                  terminal.errorString());
            return 1;
        }
        device = terminal.slavePath();
        recorder = std::make_unique<ArrivalRecorder>(terminal.masterFd());
        if (!recorder->start()) {
            printLine(stderr, QStringLiteral("norvane-bench-pacing: cannot start the reader"));
            return 1;
        }
    }

    MessageTable messages;
    for (int n = 0; n < MessageCount; ++n)
        messages[std::size_t(n)] =
            QByteArray("MESSAGE ") + QByteArray::number(n).rightJustified(3, '0');

    BenchControls controls(options);
    NullProgress progress;
    KeepMessage messageBox;
    const std::unique_ptr<SerialPort> serialPort = makeSerialPort(device);
    TimedSerialPort port(*serialPort,
                         std::chrono::milliseconds(pauseMilliseconds(options.charDelay)));
    SteadyPause pause;
    const DownloadScope scope =
        options.messages ? DownloadScope::SelectedMessages : DownloadScope::AllMessages;
    const int sentMessages = options.messages.value_or(MessageCount);

    printLine(stdout, QStringLiteral("bench: device %1, terminator %2, char delay %3 ms, record "
                                     "delay %4 ms, messages %5")
                          .arg(device, QLatin1String(terminatorName(options)))
                          .arg(options.charDelay)
                          .arg(options.recordDelay)
                          .arg(sentMessages));

    const auto cpuBefore = cpuTime();
    const auto started = std::chrono::steady_clock::now();
    const bool sent =
        runDownload(scope, DownloadData{messages, options.charDelay, options.recordDelay}, controls,
                    progress, port, pause, messageBox);
    const auto wall = std::chrono::steady_clock::now() - started;
    const auto cpu = cpuTime() - cpuBefore;

    if (recorder)
        recorder->stop();
    if (!sent) {
        printLine(stderr, QStringLiteral("norvane-bench-pacing: ") + messageBox.message);
        return 1;
    }

    PacingFigures figures;
    figures.messages = sentMessages;
    figures.bytes = port.writes();
    figures.measuredSeconds = std::chrono::duration<double>(wall).count();
    figures.modelSeconds =
        pacingModelSeconds(port.writes(), sentMessages, options.charDelay, options.recordDelay);
    if (port.minGap())
        figures.minGapMs = milliseconds(*port.minGap());
    figures.cpuPercent = figures.measuredSeconds > 0 ? std::chrono::duration<double>(cpu).count() /
                                                           figures.measuredSeconds * 100.0
                                                     : 0.0;

    int status = 0;
    printLine(stdout,
              QStringLiteral("writer: gaps shorter than the char delay %1").arg(port.shortGaps()));
    if (recorder) {
        const QString gap =
            recorder->minGap()
                ? QString::number(milliseconds(*recorder->minGap()), 'f', 3) + QStringLiteral(" ms")
                : QStringLiteral("n/a");
        printLine(
            stdout,
            QStringLiteral("reader: bytes %1, min gap %2").arg(recorder->bytes().size()).arg(gap));
        if (recorder->failed() || recorder->bytes().size() != port.writes()) {
            printLine(stderr, QStringLiteral("norvane-bench-pacing: the reader got %1 of %2 bytes")
                                  .arg(recorder->bytes().size())
                                  .arg(port.writes()));
            status = 1;
        }
    }
    printLine(stdout, pacingLine(figures));
    return status;
}
