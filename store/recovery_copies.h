// SPDX-License-Identifier: MIT
#pragma once

#include "message_table.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <chrono>

namespace norvane {

// Copies of unsaved work, so that a crash or a closed window loses at most a minute of it. While
// the table differs from what was last loaded or saved, a copy is written every `interval`, as a
// message file named by the date and time ("2024-05-17_14-03-00.txt") in one folder; the newest
// ten are kept. A copy that cannot be written is let go without a word: the next try comes with
// the next interval.
class RecoveryCopies
{
public:
    static constexpr int KeptCopies = 10;

    // Watches `Messages`, which must outlive this object, and takes the table as it is now for
    // what a file holds. An empty folder writes nothing.
    RecoveryCopies(const MessageTable &Messages, QString folder,
                   std::chrono::milliseconds interval);

    // The table as it is now is what a file holds: it was just loaded or saved.
    void markStored();
    // Writes a copy if the table differs from what was last loaded or saved and from the last
    // copy, removes the oldest copies beyond ten, and returns whether a copy was written.
    bool writeCopy(const QDateTime &time = QDateTime::currentDateTime());
    // The file names of the copies in the folder, oldest first.
    QStringList copies() const;

    // The user's own data folder for the program and "unsaved" (~/.local/share/Norvane/unsaved
    // on Linux), or an empty name where the system gives no such folder.
    static QString defaultFolder();

private:
    const MessageTable &m_messages;
    MessageTable m_stored;   // as last loaded or saved
    MessageTable m_lastCopy; // as last written to a copy
    QString m_folder;
    QTimer m_timer;
};

} // namespace norvane
