// SPDX-License-Identifier: MIT
#include "message_file.h"

#include "field_reader.h"
#include "file_dialog.h"
#include "message_box_view.h"
#include "open_regular_file.h"
#include "write_whole_file.h"

#include <QFile>

namespace norvane {

bool LoadMessageFile(MessageTable &Messages, MessageList &list, FileDialog &dialog,
                     MessageBoxView &messageBox)
{
    const std::optional<QString> fileName = dialog.showOpen();
    if (!fileName)
        return false;
    const bool read = !fileName->isEmpty() && readMessageFile(*fileName, Messages);
    if (!fileName->isEmpty() && !read)
        messageBox.showMessage(QStringLiteral("Error while reading data from file: ") + *fileName);
    RefreshList(list);
    return read;
}

bool SaveMessageFile(const MessageTable &Messages, FileDialog &dialog, MessageBoxView &messageBox)
{
    const std::optional<QString> fileName = dialog.showSave();
    if (!fileName || fileName->isEmpty())
        return false;
    const bool written = writeMessageFile(*fileName, Messages);
    if (!written)
        messageBox.showMessage(QStringLiteral("Error while writing data to file: ") + *fileName);
    return written;
}

// Entries are replaced one by one as their fields arrive, so a file that ends early still
// sets the entries it holds; the rest keep what they had. Only the 32 bytes an entry can hold
// are kept of each field, however long it runs.
bool readMessageFile(const QString &fileName, MessageTable &Messages)
{
    QFile file;
    if (!openRegularFile(file, fileName))
        return false;
    FieldReader reader(file, EntryLength);
    QByteArray field;
    for (QByteArray &entry : Messages) {
        if (!reader.readField(field))
            return false;
        entry = field;
    }
    return true;
}

bool writeMessageFile(const QString &fileName, const MessageTable &Messages)
{
    QByteArray content;
    content.reserve(MessageCount * (2 * EntryLength + 4));
    for (const QByteArray &entry : Messages)
        content += messageFileLine(entry) + "\r\n";
    return writeWholeFile(fileName, content);
}

// Quoting keeps entries that hold separators, or begin with a quote, intact through a save and a
// load. Every other entry is written exactly as it is, a double quote inside it included: a
// reader that knows no doubled quotes reads such a line back unchanged as well.
QByteArray messageFileLine(const QByteArray &entry)
{
    const bool needsQuotes = entry.startsWith('"') || entry.contains(',') || entry.contains('\r') ||
                             entry.contains('\n');
    if (!needsQuotes)
        return entry;
    QByteArray quoted = entry;
    quoted.replace('"', QByteArrayLiteral("\"\""));
    return '"' + quoted + '"';
}

} // namespace norvane
