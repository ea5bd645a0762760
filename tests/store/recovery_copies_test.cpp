#include "message_file.h"
#include "recovery_copies.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace norvane;
using namespace std::chrono_literals;

namespace {

const QDateTime Start(QDate(2024, 5, 17), QTime(14, 3, 0));

} // namespace

class RecoveryCopiesTest : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
    }

    // A copy is written only while the table differs from what a file holds and from the last
    // copy, and loads back as the table it was.
    void writesOnlyUnsavedWork()
    {
        MessageTable Messages;
        const QString folder = m_dir->filePath(QStringLiteral("data/unsaved"));
        RecoveryCopies recovery(Messages, folder, 1h);
        QVERIFY(!recovery.writeCopy(Start));

        Messages[7] = "seven, \"quoted\"";
        QVERIFY(recovery.writeCopy(Start));
        QCOMPARE(recovery.copies(), QStringList{"2024-05-17_14-03-00.txt"});
        MessageTable loaded;
        QVERIFY(readMessageFile(QDir(folder).filePath(recovery.copies().at(0)), loaded));
        QVERIFY(loaded == Messages);
        QVERIFY(!recovery.writeCopy(Start.addSecs(60)));

        Messages[8] = "eight";
        recovery.markStored();
        QVERIFY(!recovery.writeCopy(Start.addSecs(120)));
        QCOMPARE(recovery.copies().size(), 1);
    }

    // The ten newest copies stay; other files in the folder are left alone.
    void keepsTheNewestTen()
    {
        MessageTable Messages;
        RecoveryCopies recovery(Messages, m_dir->path(), 1h);
        for (const char *other : {"notes.txt", "2024-05-17_00-00-00.txt.bak"}) {
            QFile file(m_dir->filePath(other));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        for (int i = 0; i < 12; ++i) {
            Messages[0] = QByteArray::number(i);
            QVERIFY(recovery.writeCopy(Start.addSecs(i)));
        }
        const QStringList copies = recovery.copies();
        QCOMPARE(copies.size(), RecoveryCopies::KeptCopies);
        QCOMPARE(copies.first(), QStringLiteral("2024-05-17_14-03-02.txt"));
        QCOMPARE(copies.last(), QStringLiteral("2024-05-17_14-03-11.txt"));
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden).size(),
                 RecoveryCopies::KeptCopies + 2);
    }

    // A folder that cannot be made, or none at all, writes nothing and says so only by the
    // answer; the timer writes a copy by itself.
    void failuresAreSilentAndTheTimerWrites()
    {
        MessageTable Messages;
        QFile blocker(m_dir->filePath(QStringLiteral("file")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        RecoveryCopies underAFile(Messages, blocker.fileName() + "/unsaved", 1h);
        RecoveryCopies nowhere(Messages, QString(), 1h);
        const QString folder = m_dir->filePath(QStringLiteral("timed"));
        RecoveryCopies timed(Messages, folder, 10ms);
        Messages[1] = "one";
        QVERIFY(!underAFile.writeCopy(Start));
        QVERIFY(!nowhere.writeCopy(Start));
        QVERIFY(nowhere.copies().isEmpty());
        QTRY_COMPARE(timed.copies().size(), 1);
    }

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

QTEST_GUILESS_MAIN(RecoveryCopiesTest)
#include "recovery_copies_test.moc"
