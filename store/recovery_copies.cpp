// SPDX-License-Identifier: MIT
#include "recovery_copies.h"

#include "message_file.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>

namespace norvane {

namespace {

// Only files named like a copy are counted and removed: whatever else lies in the folder stays.
const QRegularExpression CopyName(QStringLiteral(R"(^\d{4}-\d\d-\d\d_\d\d-\d\d-\d\d\.txt$)"));

} // namespace

RecoveryCopies::RecoveryCopies(const MessageTable &Messages, QString folder,
                               std::chrono::milliseconds interval)
    : m_messages(Messages), m_stored(Messages), m_lastCopy(Messages), m_folder(std::move(folder))
{
    m_timer.callOnTimeout([this] { writeCopy(); });
    m_timer.start(interval);
}

void RecoveryCopies::markStored()
{
    m_stored = m_messages;
}

bool RecoveryCopies::writeCopy(const QDateTime &time)
{
    if (m_folder.isEmpty() || m_messages == m_stored || m_messages == m_lastCopy)
        return false;
    const QString name = time.toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss")) + ".txt";
    if (!QDir().mkpath(m_folder) || !writeMessageFile(QDir(m_folder).filePath(name), m_messages))
        return false;
    m_lastCopy = m_messages;
    // Names sort as the times they stand for, oldest first.
    const QStringList written = copies();
    for (qsizetype i = 0; i < written.size() - KeptCopies; ++i)
        QFile::remove(QDir(m_folder).filePath(written[i]));
    return true;
}

QStringList RecoveryCopies::copies() const
{
    if (m_folder.isEmpty())
        return {};
    const QStringList files =
        QDir(m_folder).entryList({QStringLiteral("*.txt")}, QDir::Files, QDir::Name);
    return files.filter(CopyName);
}

QString RecoveryCopies::defaultFolder()
{
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    return data.isEmpty() ? QString() : data + QStringLiteral("/unsaved");
}

} // namespace norvane
