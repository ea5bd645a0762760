#include "send_command.h"

#include "download_controls.h"
#include "download_plan.h"
#include "download_run.h"
#include "interruptible_pause.h"
#include "message_file.h"
#include "serial_port_factory.h"
#include "settings_file.h"
#include "steady_pause.h"
#include "stop_signal.h"
#include "stream_serial_port.h"
#include "terminal_progress.h"
#include "windowless_views.h"

#include <QElapsedTimer>
#include <cstdio>
#include <memory>
#include <unistd.h>

namespace norvane {

namespace {

// The main window's controls as the command line sets them.
class CommandLineControls : public DownloadControls
{
public:
    explicit CommandLineControls(const SendOptions &options) : m_options(options) {}

    Qt::CheckState crCheckState() const override { return m_options.cr; }
    Qt::CheckState lfCheckState() const override { return m_options.lf; }
    bool optionValue(int i) const override { return i == m_options.portIndex; }
    void setOptionEnabled(int, bool) override {}
    bool isLineSelected(int j) const override
    {
        return !m_options.selection || m_options.selection->test(std::size_t(j));
    }
    void hideMainWindow() override {}
    void showMainWindow() override {}

private:
    const SendOptions &m_options;
};

// A dry run's pauses take no time.
class NoPause : public Pause
{
public:
    void markWrite() override {}
    void pause(qint32) override {}
};

// Counts the bytes that reached the port.
class CountingPort : public SerialPort
{
public:
    explicit CountingPort(SerialPort &port) : m_port(port) {}

    void setCommPort(qint16 portNumber) override { m_port.setCommPort(portNumber); }
    QString deviceName() const override { return m_port.deviceName(); }
    bool open() override { return m_port.open(); }
    bool isOpen() const override { return m_port.isOpen(); }
    bool write(char c) override
    {
        const bool written = m_port.write(c);
        bytes += written ? 1 : 0;
        return written;
    }
    bool drain() override { return m_port.drain(); }
    void close() override { m_port.close(); }
    QString errorString() const override { return m_port.errorString(); }

    qint64 bytes = 0;

private:
    SerialPort &m_port;
};

void printLine(const QString &line)
{
    std::fputs((line + QLatin1Char('\n')).toLocal8Bit().constData(), stderr);
    std::fflush(stderr);
}

QString messagesText(qint64 count)
{
    return count == 1 ? QStringLiteral("1 message") : QStringLiteral("%1 messages").arg(count);
}

QString seconds(qint64 ms)
{
    return QString::number(double(ms) / 1000.0, 'f', 3) + QStringLiteral(" s");
}

// How far an interrupted download got.
QString interruptedText(const DownloadPlan &plan, qint64 bytes)
{
    if (bytes == 0)
        return QStringLiteral("interrupted before the first message");
    const DownloadPlan::Reach reach = plan.reach(bytes);
    if (reach.bytesInto == 0)
        return QStringLiteral("interrupted after message %1")
            .arg(plan.number(reach.wholeMessages - 1));
    return QStringLiteral("interrupted after message %1 (%2 of its %3 bytes sent)")
        .arg(plan.number(reach.wholeMessages))
        .arg(reach.bytesInto)
        .arg(plan.pairBytes(reach.wholeMessages));
}

} // namespace

int sendMessageFile(const SendOptions &options)
{
    // The settings file is read once, as the window reads it at start-up.
    const Settings settings = readSettingsFile(SettingsFileName);
    const qint16 charDelay = options.charDelay.value_or(settings.CharDelay);
    const qint16 recordDelay = options.recordDelay.value_or(settings.RecordDelay);

    // A file that "Load" would report ends here, before any port is touched.
    MessageTable messages;
    if (!readMessageFile(options.file, messages)) {
        printLine(QStringLiteral("Error while reading data from file: ") + options.file);
        return ExitFileError;
    }

    const DownloadData data{messages, charDelay, recordDelay};
    const DownloadScope scope =
        options.selection ? DownloadScope::SelectedMessages : DownloadScope::AllMessages;
    const DownloadPlan plan(messages, options.selection, recordTerminator(options.cr, options.lf));
    CommandLineControls controls(options);
    KeptMessage messageBox;
    const qint64 modelMs =
        minimumDurationMs(plan.totalBytes(), plan.messageCount(), charDelay, recordDelay);

    if (options.dryRun) {
        StreamSerialPort output(stdout, QStringLiteral("standard output"));
        CountingPort port(output);
        NoProgress progress;
        NoPause pause;
        if (!runDownload(scope, data, controls, progress, port, pause, messageBox)) {
            printLine(messageBox.message);
            return ExitPortError;
        }
        if (!options.quiet)
            printLine(QStringLiteral("dry run: %1, %2 bytes; on the line at least %3 "
                                     "(pauses of %4 and %5 ms)")
                          .arg(messagesText(plan.messageCount()))
                          .arg(port.bytes)
                          .arg(seconds(modelMs))
                          .arg(pauseMilliseconds(charDelay))
                          .arg(pauseMilliseconds(recordDelay)));
        return ExitSent;
    }

    const std::unique_ptr<SerialPort> serialPort =
        options.device.isEmpty() ? makeSerialPort(settings.ports) : makeSerialPort(options.device);
    CountingPort port(*serialPort);
    SteadyPause steadyPause;
    InterruptiblePause pause(steadyPause, stopSignalled);
    TerminalProgress terminalProgress(plan, charDelay, recordDelay, stderr);
    NoProgress noProgress;
    const bool drawProgress = !options.quiet && ::isatty(STDERR_FILENO) == 1;
    ProgressView &progress = drawProgress ? static_cast<ProgressView &>(terminalProgress)
                                          : static_cast<ProgressView &>(noProgress);

    catchStopSignals();
    QElapsedTimer clock;
    clock.start();
    const DownloadOutcome outcome =
        runDownload(scope, data, controls, progress, port, pause, messageBox, stopSignalled);
    const qint64 tookMs = clock.elapsed();

    if (outcome == DownloadOutcome::Failed) {
        printLine(messageBox.message);
        return ExitPortError;
    }
    const int whole = plan.reach(port.bytes).wholeMessages;
    if (outcome == DownloadOutcome::Stopped)
        printLine(interruptedText(plan, port.bytes));
    if (!options.quiet)
        printLine(QStringLiteral("sent %1, %2 bytes in %3 (the pauses alone: %4)")
                      .arg(messagesText(whole))
                      .arg(port.bytes)
                      .arg(seconds(tookMs),
                           seconds(minimumDurationMs(port.bytes, whole, charDelay, recordDelay))));
    return outcome == DownloadOutcome::Stopped ? ExitInterrupted : ExitSent;
}

} // namespace norvane
