#include "download_run.h"

#include "fixed_width.h"
#include "pause.h"
#include "serial_port.h"

namespace norvane {

QByteArray recordTerminator(bool cr, bool lf)
{
    QByteArray terminator;
    if (cr)
        terminator.append('\r');
    if (lf)
        terminator.append('\n');
    return terminator;
}

QByteArray numberRecord(int number, const QByteArray &terminator)
{
    return 'N' + QByteArray::number(number) + terminator;
}

QByteArray textRecord(const QByteArray &entry, const QByteArray &terminator)
{
    return 'M' + fixedWidth(entry, EntryLength) + terminator;
}

QString failureText(const DownloadResult &result)
{
    QString text = QStringLiteral("Error while sending data to port: ") + result.device;
    if (!result.reason.isEmpty())
        text += QLatin1Char('\n') + result.reason;
    return text;
}

namespace {

// Sends the pair of every message asked for, with a record pause after each pair. Ends as soon
// as a write fails or a stop is asked for.
SendOutcome sendMessages(const DownloadRequest &request, SerialPort &port, Pause &pause,
                         ProgressView &progress, const StopCheck &stopRequested, qint64 &written)
{
    for (int j = 0; j < MessageCount; ++j) {
        // The progress shows every number, sent or not, before anything of it goes out.
        progress.showNumber(j);
        if (request.selection && !request.selection->test(std::size_t(j)))
            continue;
        for (const QByteArray &record :
             {numberRecord(j, request.terminator),
              textRecord(request.messages[std::size_t(j)], request.terminator)}) {
            const SendOutcome outcome =
                SendString(port, pause, request.charPause, record, written, stopRequested);
            if (outcome != SendOutcome::Sent)
                return outcome;
        }
        pause.pause(request.recordPause);
    }
    return SendOutcome::Sent;
}

} // namespace

DownloadResult runDownload(const DownloadRequest &request, SerialPort &port, Pause &pause,
                           ProgressView &progress, const StopCheck &stopRequested)
{
    DownloadResult result;
    port.choosePort(request.portNumber);
    SendOutcome outcome = SendOutcome::Failed;
    if (port.open()) {
        pause.beginRun();
        outcome =
            sendMessages(request, port, pause, progress, stopRequested, result.charactersWritten);
        pause.endRun();
        // Everything written must have left the line before the port lets go of it, after a
        // stop as well: the device gets whole characters only.
        if (outcome != SendOutcome::Failed && !port.drain())
            outcome = SendOutcome::Failed;
    }
    result.device = port.deviceName();
    if (outcome == SendOutcome::Failed)
        result.reason = port.errorString();
    port.close();

    result.outcome = outcome == SendOutcome::Failed    ? DownloadOutcome::Failed
                     : outcome == SendOutcome::Stopped ? DownloadOutcome::Stopped
                                                       : DownloadOutcome::Completed;
    return result;
}

} // namespace norvane
