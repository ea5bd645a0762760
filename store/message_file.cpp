#include "message_file.h"

#include "field_reader.h"
#include "user_dialogs.h"

#include <QFile>
#include <QSaveFile>

namespace norvane {

void LoadMessageFile(MessageTable &Messages, MessageList &list, FileDialog &dialog,
                     MessageBoxView &messageBox)
{
    const std::optional<QString> fileName = dialog.showOpen();
    if (!fileName)
        return;
    if (!fileName->isEmpty() && !readMessageFile(*fileName, Messages))
        messageBox.showMessage(QStringLiteral("Error while reading data from file: ") + *fileName);
    RefreshList(Messages, list);
}

void SaveMessageFile(const MessageTable &Messages, FileDialog &dialog, MessageBoxView &messageBox)
{
    const std::optional<QString> fileName = dialog.showSave();
    if (!fileName || fileName->isEmpty())
        return;
    if (!writeMessageFile(*fileName, Messages))
        messageBox.showMessage(QStringLiteral("Error while writing data to file: ") + *fileName);
}

// Entries are replaced one by one as their fields arrive, so a file that ends early still
// sets the entries it holds; the rest keep what they had.
bool readMessageFile(const QString &fileName, MessageTable &Messages)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    FieldReader reader(file);
    QByteArray field;
    for (QByteArray &entry : Messages) {
        if (!reader.readField(field))
            return false;
        entry = field.left(EntryLength);
    }
    return true;
}

// The whole file goes to a temporary file beside the target, which replaces the target only
// once everything is written and flushed. A failure at any point leaves an existing file as
// it was, and QSaveFile removes the temporary file.
bool writeMessageFile(const QString &fileName, const MessageTable &Messages)
{
    QByteArray content;
    content.reserve(MessageCount * (2 * EntryLength + 4));
    for (const QByteArray &entry : Messages)
        content += messageFileLine(entry) + "\r\n";

    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(content) != content.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

// Quoting keeps entries that hold separators or quotes intact through a save and a load;
// every other entry is written exactly as it is, so such files stay plain one-entry-per-line.
QByteArray messageFileLine(const QByteArray &entry)
{
    const bool needsQuotes =
        entry.contains(',') || entry.contains('"') || entry.contains('\r') || entry.contains('\n');
    if (!needsQuotes)
        return entry;
    QByteArray quoted = entry;
    quoted.replace('"', QByteArrayLiteral("\"\""));
    return '"' + quoted + '"';
}

} // namespace norvane
