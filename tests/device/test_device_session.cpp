#include "device_session.h"
#include "display_rows.h"
#include "message_file.h"

#include <QTemporaryDir>
#include <QTest>

using namespace std::chrono_literals;

namespace norvane::test {

class DeviceSessionTest : public QObject
{
    Q_OBJECT

private slots:
    void showsTheTwoDisplayLines_data();
    void showsTheTwoDisplayLines();
    void decodesTheSameWhateverTheReadSizes_data();
    void decodesTheSameWhateverTheReadSizes();
    void warnsOncePerMessageAndRead();
    void savesAFileThatLoadsBack();
};

void DeviceSessionTest::showsTheTwoDisplayLines_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QStringList>("rows");

    QTest::newRow("as Modify stores it")
        << 7 << QByteArray("HELLO").leftJustified(16) + "WORLD"
        << QStringList{"007 |HELLO           |", "    |WORLD           |"};
    QTest::newRow("full 32, no padding")
        << 999 << QByteArray("0123456789ABCDEFGHIJKLMNOPQRSTUV")
        << QStringList{"999 |0123456789ABCDEF|", "    |GHIJKLMNOPQRSTUV|"};
    QTest::newRow("empty") << 0 << QByteArray()
                           << QStringList{"000 |                |", "    |                |"};
    QTest::newRow("control characters get pictures")
        << 12 << QByteArray("A\rB\nC\x7f", 6)
        << QStringList{QString::fromUtf8("012 |A\u240dB\u240aC\u2421          |"),
                       "    |                |"};
    QTest::newRow("8-bit characters in Windows-1252")
        << 1 << QByteArray("\x80 \xe9 \x81")
        << QStringList{QString::fromUtf8("001 |\u20ac \u00e9 \ufffd           |"),
                       "    |                |"};
}

void DeviceSessionTest::showsTheTwoDisplayLines()
{
    QFETCH(int, number);
    QFETCH(QByteArray, text);
    QFETCH(QStringList, rows);
    QCOMPARE(displayRows(number, text), rows);
}

void DeviceSessionTest::decodesTheSameWhateverTheReadSizes_data()
{
    QTest::addColumn<int>("readSize");
    for (int size : {1, 2, 3, 7, 36, 37, 38, 4096})
        QTest::addRow("%d", size) << size;
}

void DeviceSessionTest::decodesTheSameWhateverTheReadSizes()
{
    QFETCH(int, readSize);
    const QByteArray stream = QByteArray("junk") + "N5\r\nMFIRST" + QByteArray(27, ' ') + "\r\n" +
                              "N1N900\r\nM" + QByteArray(32, 'Z') + "\r\n" + "N42\r\nMcut";

    QStringList printed;
    DeviceSession session(DeviceOptions{}, [&](const QString &line) { printed.append(line); });
    for (qsizetype at = 0; at < stream.size(); at += readSize)
        session.receive(stream.constData() + at, std::min<qsizetype>(readSize, stream.size() - at),
                        std::chrono::milliseconds(at));
    session.finish();

    QCOMPARE(printed, (QStringList{"005 |FIRST           |", "    |                |",
                                   "900 |ZZZZZZZZZZZZZZZZ|", "    |ZZZZZZZZZZZZZZZZ|"}));
    QCOMPARE(session.received()[5], QByteArray("FIRST").leftJustified(32));
    QCOMPARE(session.received()[900], QByteArray(32, 'Z'));
    QCOMPARE(session.received()[42], QByteArray());
    QCOMPARE(session.decoder().skippedBytes(), 4 + 2 + 9);
    QVERIFY(session.summaryLine().startsWith(
        QStringLiteral("summary: messages 2, bytes %1, skipped bytes 15, short gaps 0, min gap ")
            .arg(stream.size())));
}

void DeviceSessionTest::warnsOncePerMessageAndRead()
{
    DeviceOptions options;
    options.charDelayMs = 10;
    options.quiet = true;
    QStringList printed;
    DeviceSession session(options, [&](const QString &line) { printed.append(line); });

    // Message 3 arrives in one read (35 gaps of 0), message 4 paced except for one byte; a gap
    // a few microseconds short is the reader's own jitter and passes.
    const QByteArray first = "N3\rM" + QByteArray(32, 'a');
    session.receive(first.constData(), first.size(), 0ms);
    const QByteArray second = "N4\rM" + QByteArray(32, 'b');
    std::chrono::nanoseconds at = 1000ms;
    for (int i = 0; i < second.size(); ++i) {
        at += i == 20 ? 4ms : i == 10 ? 9950us : 10ms;
        session.receive(second.constData() + i, 1, at);
    }
    QCOMPARE(printed,
             (QStringList{"warning: message 3: 35 gap(s) shorter than the char delay of 10 ms, "
                          "the shortest 0.000 ms before byte 1",
                          "warning: message 4: 1 gap(s) shorter than the char delay of 10 ms, "
                          "the shortest 4.000 ms before byte 20"}));
    QVERIFY(session.summaryLine().endsWith(
        QStringLiteral("messages 2, bytes 72, skipped bytes 0, short gaps 36, min gap 0.000 ms")));
}

void DeviceSessionTest::savesAFileThatLoadsBack()
{
    DeviceSession session(DeviceOptions{}, [](const QString &) {});
    const QByteArray tricky = QByteArray("\"quoted\", with comma").leftJustified(32);
    const QByteArray stream =
        "N0M" + QByteArray(32, ' ') + "N7M" + tricky + "N999MEND" + QByteArray(29, ' ');
    session.receive(stream.constData(), stream.size(), 0ms);

    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("received.txt"));
    QVERIFY(session.save(file));

    MessageTable loaded;
    loaded.fill(QByteArray("stale"));
    QVERIFY(readMessageFile(file, loaded));
    for (int n = 0; n < MessageCount; ++n) {
        QByteArray expected;
        if (n == 0)
            expected = QByteArray(32, ' ');
        else if (n == 7)
            expected = tricky;
        else if (n == 999)
            expected = QByteArray("END").leftJustified(32);
        QCOMPARE(loaded[std::size_t(n)], expected);
    }
}

} // namespace norvane::test

QTEST_GUILESS_MAIN(norvane::test::DeviceSessionTest)
#include "test_device_session.moc"
