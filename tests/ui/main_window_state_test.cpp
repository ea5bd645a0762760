// SPDX-License-Identifier: MIT
#include "fake_list.h"
#include "fifo_reader_guard.h"
#include "main_window_state.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace norvane;

class MainWindowStateTest : public QObject
{
    Q_OBJECT

private slots:
    void startUp_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("charDelay");
        QTest::addColumn<int>("recordDelay");
        QTest::addColumn<QString>("com1"); // "" keeps the default

        QTest::newRow("settings file") << "file" << 25 << 400 << "/dev/ttyUSB0";
        QTest::newRow("missing") << "missing" << 10 << 200 << "";
        QTest::newRow("directory") << "directory" << 10 << 200 << "";
        QTest::newRow("unreadable") << "unreadable" << 10 << 200 << "";
        QTest::newRow("FIFO without a writer") << "fifo" << 10 << 200 << "";
        QTest::newRow("endless device") << "/dev/zero" << 10 << 200 << "";
    }

    void startUp()
    {
        QFETCH(QString, file);
        QFETCH(int, charDelay);
        QFETCH(int, recordDelay);
        QFETCH(QString, com1);

        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString name = file.startsWith('/') ? file : dir.filePath(SettingsFileName);
        if (file == "fifo")
            QCOMPARE(::mkfifo(QFile::encodeName(name).constData(), 0600), 0);
        if (file == "directory")
            QVERIFY(QDir(dir.path()).mkdir(SettingsFileName));
        if (file == "file" || file == "unreadable") {
            QFile settings(name);
            QVERIFY(settings.open(QIODevice::WriteOnly));
            QVERIFY(settings.write("[Delay],25,400\n[Ports],/dev/ttyUSB0\n") > 0);
        }
        if (file == "unreadable") {
            QVERIFY(QFile::setPermissions(name, QFileDevice::WriteOwner));
            if (QFile probe(name); probe.open(QIODevice::ReadOnly))
                QSKIP("permissions do not keep this user from reading (root?)");
        }
        MainWindowState state;
        state.CharDelay = 1;
        state.RecordDelay = 2;
        state.Messages[3] = "left over";
        test::FakeList list(state.Messages);
        // Start-up must not wait for a FIFO's writer.
        QVERIFY(test::finishesWithoutWriter(name, [&] { startUpMainWindow(state, list, name); }));

        QCOMPARE(int(state.CharDelay), charDelay);
        QCOMPARE(int(state.RecordDelay), recordDelay);
        const PortDevices defaults = defaultPortDevices();
        QCOMPARE(state.ports[0], com1.isEmpty() ? defaults[0] : com1);
        for (int i = 1; i < PortCount; ++i)
            QCOMPARE(state.ports[i], defaults[i]);
        // The table is emptied and the list filled on every path.
        for (const QByteArray &entry : state.Messages)
            QVERIFY(entry.isEmpty());
        QCOMPARE(list.lines.size(), MessageCount);
    }
};

QTEST_GUILESS_MAIN(MainWindowStateTest)
#include "main_window_state_test.moc"
