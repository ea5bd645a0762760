#include "download_run.h"

#include "delay_settings.h"
#include "download_controls.h"
#include "fixed_width.h"
#include "message_box_view.h"
#include "pause.h"
#include "port_settings.h"
#include "progress_view.h"
#include "serial_output.h"
#include "serial_port.h"

namespace norvane {

QByteArray recordTerminator(Qt::CheckState cr, Qt::CheckState lf)
{
    // Only the checked state counts; the greyed state is as good as unchecked.
    QByteArray terminator;
    if (cr == Qt::Checked)
        terminator.append('\r');
    if (lf == Qt::Checked)
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

namespace {

// Sends the pair of every message in scope, with a record pause after each pair. Ends as soon as
// a write fails or a stop is asked for.
SendOutcome sendMessages(DownloadScope scope, const DownloadData &data,
                         const QByteArray &terminator, DownloadControls &controls,
                         ProgressView &progress, SerialPort &port, Pause &pause,
                         const StopCheck &stopRequested)
{
    const qint32 recordPause = pauseMilliseconds(data.RecordDelay);
    for (int j = 0; j < MessageCount; ++j) {
        // The progress shows every number, sent or not, before anything of it goes out.
        progress.setValue(float(j));
        progress.setCaption(QString::number(j));
        progress.refresh();

        if (scope == DownloadScope::SelectedMessages && !controls.isLineSelected(j))
            continue;
        SendOutcome outcome =
            sendCharacters(port, pause, data.CharDelay, numberRecord(j, terminator), stopRequested);
        if (outcome == SendOutcome::Sent)
            outcome = sendCharacters(port, pause, data.CharDelay,
                                     textRecord(data.Messages[j], terminator), stopRequested);
        if (outcome != SendOutcome::Sent)
            return outcome;
        pause.pause(recordPause);
    }
    return SendOutcome::Sent;
}

} // namespace

bool runDownload(DownloadScope scope, const DownloadData &data, DownloadControls &controls,
                 ProgressView &progress, SerialPort &port, Pause &pause, MessageBoxView &messageBox)
{
    return runDownload(scope, data, controls, progress, port, pause, messageBox, StopCheck()) ==
           DownloadOutcome::Completed;
}

DownloadOutcome runDownload(DownloadScope scope, const DownloadData &data,
                            DownloadControls &controls, ProgressView &progress, SerialPort &port,
                            Pause &pause, MessageBoxView &messageBox,
                            const StopCheck &stopRequested)
{
    const QByteArray terminator =
        recordTerminator(controls.crCheckState(), controls.lfCheckState());

    qint16 portNumber = 0;
    for (int i = 0; i < PortCount; ++i) {
        if (controls.optionValue(i))
            portNumber = qint16(i + 1);
        controls.setOptionEnabled(i, false);
    }

    progress.setValue(0);
    controls.hideMainWindow();
    progress.show();

    port.setCommPort(portNumber);
    SendOutcome outcome = SendOutcome::Failed;
    if (port.open()) {
        pause.beginRun();
        outcome =
            sendMessages(scope, data, terminator, controls, progress, port, pause, stopRequested);
        pause.endRun();
        // Everything written must have left the line before the port lets go of it, after a
        // stop as well: the device gets whole characters only.
        if (outcome != SendOutcome::Failed && !port.drain())
            outcome = SendOutcome::Failed;
    }
    port.close();

    progress.hide();
    controls.showMainWindow();
    for (int k = 0; k < PortCount; ++k)
        controls.setOptionEnabled(k, true);

    // Told only now, so the message box stands over the main window again. The port's reason,
    // when it knows one, goes on a line of its own.
    if (outcome == SendOutcome::Failed) {
        QString message = QStringLiteral("Error while sending data to port: ") + port.deviceName();
        const QString reason = port.errorString();
        if (!reason.isEmpty())
            message += QLatin1Char('\n') + reason;
        messageBox.showMessage(message);
        return DownloadOutcome::Failed;
    }
    return outcome == SendOutcome::Stopped ? DownloadOutcome::Stopped : DownloadOutcome::Completed;
}

} // namespace norvane
