// SPDX-License-Identifier: MIT
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

// What the stop check answers, and None without one.
StopRequest asked(const StopCheck &stopRequested)
{
    return stopRequested ? stopRequested() : StopRequest::None;
}

// Sends the pair of every message asked for, with a record pause after each pair. Ends as soon
// as a write fails, at once for a stop that cannot wait, and otherwise for a stop at the end of
// the message being sent, without the pause after it.
SendOutcome sendMessages(const DownloadRequest &request, SerialPort &port, Pause &pause,
                         ProgressView &progress, const StopCheck &stopRequested,
                         RecordWriter *records, qint64 &written)
{
    for (int j = 0; j < MessageCount; ++j) {
        if (asked(stopRequested) != StopRequest::None)
            return SendOutcome::Stopped;
        // The progress shows every number, sent or not, before anything of it goes out.
        progress.showNumber(j);
        if (request.selection && !request.selection->test(std::size_t(j)))
            continue;
        for (const QByteArray &record :
             {numberRecord(j, request.terminator),
              textRecord(request.messages[std::size_t(j)], request.terminator)}) {
            const SendOutcome outcome =
                records
                    ? records->write(port, request.charPause, record, written, stopRequested)
                    : SendString(port, pause, request.charPause, record, written, stopRequested);
            if (outcome != SendOutcome::Sent)
                return outcome;
        }
        if (asked(stopRequested) != StopRequest::None)
            return SendOutcome::Stopped;
        pause.pause(request.recordPause);
    }
    return SendOutcome::Sent;
}

// Opens the port, sends, and drains what was written; the port's waits give way to a stop as
// each step allows. A wait given up for a stop ends the run as Stopped, not as a failure.
SendOutcome openSendAndDrain(const DownloadRequest &request, SerialPort &port, Pause &pause,
                             ProgressView &progress, const StopCheck &stopRequested,
                             RecordWriter *records, qint64 &written)
{
    const auto interruptWhen = [&port, &stopRequested](const auto &givesWay) {
        if (stopRequested)
            port.setWaitInterruption(givesWay);
    };
    // Before the first character any stop ends the run: there is no message to finish.
    const auto anyStop = [&stopRequested] { return asked(stopRequested) != StopRequest::None; };
    interruptWhen(anyStop);
    if (!port.open())
        return anyStop() ? SendOutcome::Stopped : SendOutcome::Failed;

    // A write waiting for room gives way only to a stop that cannot wait for the message's end.
    const auto stopNow = [&stopRequested] { return asked(stopRequested) == StopRequest::Now; };
    interruptWhen(stopNow);
    pause.beginRun();
    SendOutcome outcome =
        sendMessages(request, port, pause, progress, stopRequested, records, written);
    pause.endRun();
    if (outcome == SendOutcome::Failed && stopNow())
        outcome = SendOutcome::Stopped;
    if (outcome == SendOutcome::Failed)
        return outcome;

    // Everything written must have left the line before the port lets go of it, after a stop as
    // well: the device gets whole characters only. The stop that ended the sending does not cut
    // this wait short; a further one asked for while it waits does (and the closing after it).
    const StopRequest before = asked(stopRequested);
    const auto furtherStop = [&stopRequested, before] { return asked(stopRequested) > before; };
    interruptWhen(furtherStop);
    if (!port.drain())
        return furtherStop() ? SendOutcome::Stopped : SendOutcome::Failed;
    return outcome;
}

} // namespace

DownloadResult runDownload(const DownloadRequest &request, SerialPort &port, Pause &pause,
                           ProgressView &progress, const StopCheck &stopRequested,
                           RecordWriter *records)
{
    DownloadResult result;
    port.choosePort(request.portNumber);
    const SendOutcome outcome = openSendAndDrain(request, port, pause, progress, stopRequested,
                                                 records, result.charactersWritten);
    result.device = port.deviceName();
    if (outcome == SendOutcome::Failed)
        result.reason = port.errorString();
    port.close();
    // The stop check lives no longer than the run.
    if (stopRequested)
        port.setWaitInterruption({});

    result.outcome = outcome == SendOutcome::Failed    ? DownloadOutcome::Failed
                     : outcome == SendOutcome::Stopped ? DownloadOutcome::Stopped
                                                       : DownloadOutcome::Completed;
    return result;
}

} // namespace norvane
