#pragma once

#include "message_table.h"
#include "serial_output.h"

#include <QByteArray>
#include <QtGlobal>
#include <qnamespace.h>

namespace norvane {

class DownloadControls;
class MessageBoxView;
class Pause;
class ProgressView;
class SerialPort;

enum class DownloadScope { AllMessages, SelectedMessages };

// The record terminator: CR if "CR" is checked, then LF if "LF" is checked. A greyed check box
// counts as unchecked.
QByteArray recordTerminator(Qt::CheckState cr, Qt::CheckState lf);
// "N", the number in decimal, the terminator.
QByteArray numberRecord(int number, const QByteArray &terminator);
// "M", the entry filled out or cut to 32 characters, the terminator.
QByteArray textRecord(const QByteArray &entry, const QByteArray &terminator);

struct DownloadData
{
    const MessageTable &Messages;
    qint16 CharDelay;
    qint16 RecordDelay;
};

// One download ("Send all" or "Send selection"): switches the windows around the run, sends the
// number and text record of every (selected) message with the pauses, and reports progress for
// every number 0..999. If the port cannot be opened or a write fails, the run stops at once, the
// port is closed, the windows are switched back and the user is told
// "Error while sending data to port: " + the device name, with the port's reason for the failure
// on a second line when it gives one. Returns true when the run completed.
bool runDownload(DownloadScope scope, const DownloadData &data, DownloadControls &controls,
                 ProgressView &progress, SerialPort &port, Pause &pause,
                 MessageBoxView &messageBox);

enum class DownloadOutcome { Completed, Failed, Stopped };

// The same run, asking `stopRequested` before every character it writes. Once the check answers
// true nothing more is written (the last record may break off after any whole character): the run
// waits for what was written to leave the line, closes the port and switches the windows back
// without a message, and the outcome is Stopped. Should the waiting fail, the run has failed.
// The main window gives no check, so its downloads always run to their end.
DownloadOutcome runDownload(DownloadScope scope, const DownloadData &data,
                            DownloadControls &controls, ProgressView &progress, SerialPort &port,
                            Pause &pause, MessageBoxView &messageBox,
                            const StopCheck &stopRequested);

} // namespace norvane
