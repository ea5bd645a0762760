// SPDX-License-Identifier: MIT
#include "device_session.h"

#include <QTest>

using namespace std::chrono_literals;

namespace norvane::test {

class DeviceSessionTest : public QObject
{
    Q_OBJECT

private slots:
    void decodesTheSameWhateverTheReadSizes_data();
    void decodesTheSameWhateverTheReadSizes();
    void warnsOncePerMessageAndRead();
};

void DeviceSessionTest::decodesTheSameWhateverTheReadSizes_data()
{
    QTest::addColumn<int>("readSize");
    for (int size : {1, 2, 7, 36, 37, 38, 4096})
        QTest::addRow("%d", size) << size;
}

void DeviceSessionTest::decodesTheSameWhateverTheReadSizes()
{
    QFETCH(int, readSize);
    // Control characters are shown as pictures, 8-bit characters as Windows-1252.
    const QByteArray five = QByteArray("A\rB\nC\x7f", 6).leftJustified(32);
    const QByteArray nine = QByteArray("0123456789ABCDEF\x80 \xe9 \x81").leftJustified(32, 'Z');
    const QByteArray stream = QByteArray("junk") + "N5\r\nM" + five + "\r\n" + "N1N900\r\nM" +
                              nine + "\r\n" + "N42\r\nMcut";

    QStringList printed;
    DeviceSession session(DeviceOptions{}, [&](const QString &line) { printed.append(line); });
    for (qsizetype at = 0; at < stream.size(); at += readSize)
        session.receive(stream.constData() + at, std::min<qsizetype>(readSize, stream.size() - at),
                        std::chrono::milliseconds(at));
    session.finish();

    QCOMPARE(printed, (QStringList{QString::fromUtf8("005 |A\u240dB\u240aC\u2421          |"),
                                   "    |                |", "900 |0123456789ABCDEF|",
                                   QString::fromUtf8("    |\u20ac \u00e9 \ufffdZZZZZZZZZZZ|")}));
    QCOMPARE(session.received()[5], five);
    QCOMPARE(session.received()[900], nine);
    QCOMPARE(session.received()[42], QByteArray());
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
             (QStringList{"warning: message 3: 35 gap(s) between arrivals shorter than the char "
                          "delay of 10 ms, the shortest 0.000 ms before byte 1 (arrival times "
                          "include the line's delivery latency)",
                          "warning: message 4: 1 gap(s) between arrivals shorter than the char "
                          "delay of 10 ms, the shortest 4.000 ms before byte 20 (arrival times "
                          "include the line's delivery latency)"}));
    QVERIFY(session.summaryLine().endsWith(
        QStringLiteral("messages 2, bytes 72, skipped bytes 0, short gaps 36, min gap 0.000 ms")));
}

} // namespace norvane::test

QTEST_GUILESS_MAIN(norvane::test::DeviceSessionTest)
#include "device_session_test.moc"
