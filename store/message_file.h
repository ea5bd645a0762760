// SPDX-License-Identifier: MIT
#pragma once

#include "message_table.h"

#include <QString>

namespace norvane {

class FileDialog;
class MessageBoxView;

// "Load": asks for a file and reads its first 1000 fields into entries 0..999 (each cut to 32
// characters), then rebuilds the list. On a failure the entries read so far keep their new
// contents and the rest keep their old ones; the user is told
// "Error while reading data from file: " + the name. Returns whether a whole file was read.
bool LoadMessageFile(MessageTable &Messages, MessageList &list, FileDialog &dialog,
                     MessageBoxView &messageBox);

// "Save As": asks for a file and writes the 1000 entries, one line each, ended by CR LF (see
// writeWholeFile for how an existing file is replaced or written in place). On a failure the
// user is told "Error while writing data to file: " + the name. Returns whether the table was
// written.
bool SaveMessageFile(const MessageTable &Messages, FileDialog &dialog, MessageBoxView &messageBox);

// The file parts of the two operations, without dialog and message box.
// readMessageFile stores fields into `Messages` as they are read and returns false on failure;
// it reads regular files only (see openRegularFile).
bool readMessageFile(const QString &fileName, MessageTable &Messages);
// writeMessageFile returns false on failure.
bool writeMessageFile(const QString &fileName, const MessageTable &Messages);

// One line of a message file for an entry, without its line end: the entry as it is, or, when it
// holds a comma, CR or LF or begins with a double quote, between double quotes with inner quotes
// doubled.
QByteArray messageFileLine(const QByteArray &entry);

} // namespace norvane
