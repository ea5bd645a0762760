// SPDX-License-Identifier: MIT
#pragma once

#include "message_table.h"
#include "progress_view.h"
#include "serial_output.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <chrono>
#include <optional>

namespace norvane {

class Pause;
class SerialPort;

// The record terminator: CR if `cr`, then LF if `lf`.
QByteArray recordTerminator(bool cr, bool lf);
// "N", the number in decimal, the terminator.
QByteArray numberRecord(int number, const QByteArray &terminator);
// "M", the entry filled out or cut to 32 characters, the terminator.
QByteArray textRecord(const QByteArray &entry, const QByteArray &terminator);

// What one download is to send, where and how: all of it fixed when the download starts.
struct DownloadRequest
{
    MessageTable messages;                     // the table as it is when the download starts
    std::optional<MessageSelection> selection; // the numbers to send; none: all, 0 to 999
    QByteArray terminator;                     // ends every record: none, CR, LF or CR LF
    qint16 portNumber = 1;                     // Com1 to Com4 as 1 to 4
    std::chrono::milliseconds charPause{0};    // after every character
    std::chrono::milliseconds recordPause{0};  // after every message
};

enum class DownloadOutcome { Completed, Failed, Stopped };

// How a download ended.
struct DownloadResult
{
    DownloadOutcome outcome = DownloadOutcome::Completed;
    qint64 charactersWritten = 0; // handed to the port
    QString device;               // the device the port stands for
    QString reason;               // why it failed, as the port tells it; may be empty
};

// What the user is told of a failed download: "Error while sending data to port: " and the
// device, then the reason on a line of its own when there is one.
QString failureText(const DownloadResult &result);

// The pauses alone of a download of `characters` characters in `messages` messages: the least
// time it can take.
constexpr std::chrono::milliseconds pacingModel(qint64 characters, qint64 messages,
                                                std::chrono::milliseconds charPause,
                                                std::chrono::milliseconds recordPause)
{
    return characters * charPause + messages * recordPause;
}

// One download ("Send all" or "Send selection"): chooses and opens the port, then for every
// number 0 to 999 shows it on `progress` and, when it is asked for, sends its number and text
// records with the pauses; then waits for what was written to leave the line and closes the
// port. A port that does not open or a write that fails ends it at once (Failed, the port
// closed).
//
// `stopRequested` is asked before every character and between messages. Once it answers
// AfterMessage the message being sent is finished (without the pause after it) and nothing more
// is sent; once it answers Now nothing more is written at all. Either way the run drains, closes
// and ends as Stopped. The port's waits hear it too: while the port opens any stop gives the wait
// up, a write waiting for room gives way to Now, and the drain to a stop asked for while it waits.
// A wait given up so ends the run as Stopped.
//
// The records go through `records` when given (a pause of its own then gives only the pauses
// after the messages), and through SendString otherwise.
DownloadResult runDownload(const DownloadRequest &request, SerialPort &port, Pause &pause,
                           ProgressView &progress, const StopCheck &stopRequested = {},
                           RecordWriter *records = nullptr);

// The progress of a download that nobody watches.
class NoProgress : public ProgressView
{
public:
    void showNumber(int) override {}
};

} // namespace norvane
