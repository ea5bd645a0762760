// SPDX-License-Identifier: MIT
#include "message_file.h"
#include "recovery_copies.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace norvane;
using namespace std::chrono_literals;

class RecoveryCopiesTest : public QObject
{
    Q_OBJECT
private slots:
    // A copy is written only while the table differs from what a file holds and from the last
    // copy, and loads back as the table; the ten newest stay, other files are left alone.
    void writesRotatesAndSkips()
    {
        const QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("data/unsaved"));
        QVERIFY(QDir().mkpath(folder));
        QFile other(folder + "/notes.txt");
        QVERIFY(other.open(QIODevice::WriteOnly));
        MessageTable Messages;
        RecoveryCopies recovery(Messages, folder, 1h);
        const QDateTime start(QDate(2024, 5, 17), QTime(14, 3, 0));
        QVERIFY(!recovery.writeCopy(start));
        for (int i = 0; i < 12; ++i) {
            Messages[7] = "seven, \"" + QByteArray::number(i);
            QVERIFY(recovery.writeCopy(start.addSecs(i)));
            QVERIFY(!recovery.writeCopy(start.addSecs(i + 1)));
        }
        const QStringList copies = recovery.copies();
        QCOMPARE(copies.size(), RecoveryCopies::KeptCopies);
        QCOMPARE(copies.first(), QStringLiteral("2024-05-17_14-03-02.txt"));
        QCOMPARE(copies.last(), QStringLiteral("2024-05-17_14-03-11.txt"));
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden).size(), copies.size() + 1);
        MessageTable loaded;
        QVERIFY(readMessageFile(folder + '/' + copies.last(), loaded));
        QVERIFY(loaded == Messages);

        Messages[8] = "eight";
        recovery.markStored();
        QVERIFY(!recovery.writeCopy(start.addSecs(60)));
    }

    // Without a folder nothing is written (not into the working directory either); the timer
    // writes by itself.
    void noFolderAndTheTimer()
    {
        const QTemporaryDir dir;
        const QString earlier = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir.path()));
        MessageTable Messages;
        RecoveryCopies nowhere(Messages, QString(), 1h);
        RecoveryCopies timed(Messages, dir.filePath(QStringLiteral("timed")), 10ms);
        Messages[1] = "one";
        QVERIFY(!nowhere.writeCopy());
        QTRY_COMPARE(timed.copies().size(), 1);
        QCOMPARE(QDir().entryList(QDir::Files), QStringList());
        QDir::setCurrent(earlier);
    }
};

QTEST_GUILESS_MAIN(RecoveryCopiesTest)
#include "recovery_copies_test.moc"
