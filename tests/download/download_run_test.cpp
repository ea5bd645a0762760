// SPDX-License-Identifier: MIT
#include "delay_settings.h"
#include "download_run.h"
#include "fake_download.h"
#include "serial_output.h"

#include <QMap>
#include <QTest>

using namespace norvane;
using namespace norvane::test;

Q_DECLARE_METATYPE(norvane::StopRequest)

namespace {

using Pauses = QVector<qint32>;
using Numbers = QList<int>;
const QByteArray Blank32(32, ' ');
const QByteArray none, cr("\r"), lf("\n"), crlf("\r\n");

struct Rig
{
    EventLog log;
    DownloadRequest request;
    FakeProgress progress{log};
    FakeSerialPort port{log};
    FakePause pause{log};

    Rig()
    {
        request.terminator = "\r";
        request.charPause = std::chrono::milliseconds(10);
        request.recordPause = std::chrono::milliseconds(200);
    }
    void select(const Numbers &numbers)
    {
        request.selection = MessageSelection();
        for (int n : numbers)
            request.selection->set(std::size_t(n));
    }
    DownloadResult run(const StopCheck &stopRequested = {})
    {
        return runDownload(request, port, pause, progress, stopRequested);
    }
    // The port is released, and a raised priority and the stop check never outlive the run,
    // whatever ended it.
    void checkIdle()
    {
        QVERIFY(!port.isOpen());
        QVERIFY(!port.hasWaitInterruption());
        QCOMPARE(log.count("end run"), log.count("begin run"));
    }
};

// CharDelay after every character of a pair, then RecordDelay.
Pauses pausesFor(const QVector<int> &pairSizes, qint32 charPause, qint32 recordPause)
{
    Pauses pauses;
    for (int size : pairSizes)
        pauses << Pauses(size, charPause) << recordPause;
    return pauses;
}

} // namespace

class DownloadRunTest : public QObject
{
    Q_OBJECT

private slots:
    void sendString_data();
    void sendString();
    void records_data();
    void records();
    void send_data();
    void send();
    void stepOrder();
    void failures_data();
    void failures();
    void stops_data();
    void stops();
    void waitsGiveWay_data();
    void waitsGiveWay();
};

void DownloadRunTest::sendString_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("charDelay");
    QTest::addColumn<int>("failAtByte");
    QTest::addColumn<int>("charPause");

    QTest::newRow("empty") << QByteArray() << 10 << -1 << 10;
    QTest::newRow("N7 CR") << QByteArray("N7\r") << 7 << -1 << 7;
    QTest::newRow("NUL and high bytes") << QByteArray("\0\xe9\xff", 3) << 1 << -1 << 1;
    QTest::newRow("zero pause") << QByteArray("ab") << 0 << -1 << 0;
    QTest::newRow("negative pause") << QByteArray("ab") << -5 << -1 << 0;
    QTest::newRow("most negative pause") << QByteArray("ab") << -32768 << -1 << 0;
    QTest::newRow("longest pause") << QByteArray("a") << 32767 << -1 << 32767;
    QTest::newRow("first write fails") << QByteArray("abcd") << 10 << 0 << 10;
    QTest::newRow("third write fails") << QByteArray("abcd") << 10 << 2 << 10;
    QTest::newRow("last write fails") << QByteArray("abcd") << 10 << 3 << 10;
}

void DownloadRunTest::sendString()
{
    QFETCH(QByteArray, text);
    QFETCH(int, charDelay);
    QFETCH(int, failAtByte);
    QFETCH(int, charPause);

    EventLog log;
    FakeSerialPort port(log);
    FakePause pause(log);
    port.opened = true;
    port.failAtByte = failAtByte;
    qint64 count = 0;
    // The pause comes from the delay setting as a download takes it: a negative one is none.
    QCOMPARE(SendString(port, pause, pauseLength(qint16(charDelay)), text, count),
             failAtByte < 0 ? SendOutcome::Sent : SendOutcome::Failed);

    // Every write is marked before it starts and followed by its pause; nothing after a failure.
    const QByteArray written = failAtByte < 0 ? text : text.left(failAtByte);
    QCOMPARE(port.bytes, written);
    QCOMPARE(count, written.size());
    QStringList expected;
    for (qsizetype i = 0; i < written.size(); ++i)
        expected << "mark"
                 << "write" << QStringLiteral("pause %1").arg(charPause);
    if (failAtByte >= 0)
        expected << "mark";
    QCOMPARE(log.events, expected);
}

void DownloadRunTest::records_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<QByteArray>("entry");
    QTest::addColumn<QByteArray>("terminator");
    QTest::addColumn<QByteArray>("pair");

    const QByteArray exact("0123456789abcdefGHIJKLMNOPQRSTUV");
    QTest::newRow("0, empty, CR") << 0 << QByteArray() << cr << "N0\rM" + Blank32 + "\r";
    QTest::newRow("12, loaded, none")
        << 12 << QByteArray("abc") << none << "N12Mabc" + QByteArray(29, ' ');
    QTest::newRow("999, exactly 32, LF") << 999 << exact << lf << "N999\nM" + exact + "\n";
    QTest::newRow("7, longer is cut, CR LF")
        << 7 << exact + "wxyz" << crlf << "N7\r\nM" + exact + "\r\n";
    QTest::newRow("trailing spaces kept")
        << 100 << QByteArray("  x  ") << none << "N100M  x" + QByteArray(29, ' ');
    QTest::newRow("high bytes kept")
        << 5 << QByteArray("caf\xe9") << lf << "N5\nMcaf\xe9" + QByteArray(28, ' ') + "\n";
    QTest::newRow("worked example: 7, CR")
        << 7 << "HELLO" + QByteArray(27, ' ') << cr
        << QByteArray::fromHex("4E370D4D48454C4C4F" + QByteArray(27, ' ').toHex() + "0D");
}

void DownloadRunTest::records()
{
    QFETCH(int, number);
    QFETCH(QByteArray, entry);
    QFETCH(QByteArray, terminator);
    QFETCH(QByteArray, pair);
    QCOMPARE(numberRecord(number, terminator) + textRecord(entry, terminator), pair);
    // CR comes before LF, whichever is asked for.
    QCOMPARE(recordTerminator(terminator.contains('\r'), terminator.contains('\n')), terminator);
}

void DownloadRunTest::send_data()
{
    QTest::addColumn<bool>("all");
    QTest::addColumn<Numbers>("selected");
    QTest::addColumn<QByteArray>("terminator");
    QTest::addColumn<int>("totalBytes");

    // 1000 pairs: 2890 digits, 34 characters of "N" and text record each, 2 terminators each.
    QTest::newRow("all, CR (initial)") << true << Numbers{} << cr << 38890;
    QTest::newRow("all, none") << true << Numbers{} << none << 36890;
    QTest::newRow("all, LF") << true << Numbers{} << lf << 38890;
    QTest::newRow("all, CR LF") << true << Numbers{} << crlf << 40890;
    QTest::newRow("selection, none") << false << Numbers{} << cr << 0;
    QTest::newRow("selection, 5 and 900") << false << Numbers{900, 5} << cr << 76;
    QTest::newRow("selection, 7") << false << Numbers{7} << cr << 37;
    QTest::newRow("selection, 12, none") << false << Numbers{12} << none << 36;
    QTest::newRow("selection, 0 and 999, CR LF") << false << Numbers{0, 999} << crlf << 80;
}

void DownloadRunTest::send()
{
    QFETCH(bool, all);
    QFETCH(Numbers, selected);
    QFETCH(QByteArray, terminator);
    QFETCH(int, totalBytes);

    Rig rig;
    rig.request.terminator = terminator;
    if (!all)
        rig.select(selected);
    rig.request.messages[0] = "first";
    rig.request.messages[7] = "HELLO" + QByteArray(27, ' ');
    rig.request.messages[999] = "last";
    const DownloadResult result = rig.run();
    QCOMPARE(result.outcome, DownloadOutcome::Completed);
    QCOMPARE(result.charactersWritten, totalBytes);

    // Every byte is put down to the number on show when it was written: each pair goes out
    // after its number's progress.
    QMap<int, QByteArray> expected, sentUnder;
    QVector<int> pairSizes;
    for (int j = 0; j < MessageCount; ++j) {
        if (all || selected.contains(j)) {
            expected[j] = numberRecord(j, terminator) +
                          textRecord(rig.request.messages[std::size_t(j)], terminator);
            pairSizes.append(expected[j].size());
        }
    }
    int shown = -1;
    int byte = 0;
    for (const QString &event : rig.log.events) {
        if (event.startsWith("refresh "))
            shown = event.mid(8).toInt();
        else if (event == "write")
            sentUnder[shown].append(rig.port.bytes.at(byte++));
    }
    QCOMPARE(sentUnder, expected);
    QCOMPARE(rig.port.bytes.size(), totalBytes);
    QCOMPARE(rig.port.writes, totalBytes); // one write per character
    QCOMPARE(rig.pause.pauses, pausesFor(pairSizes, 10, 200));
    QCOMPARE(rig.log.count("open"), 1);
    QCOMPARE(rig.log.count("close"), 1);

    // Every number is shown once, in order, sent or not.
    QCOMPARE(rig.progress.numbers.size(), MessageCount);
    for (int j = 0; j < MessageCount; ++j)
        QCOMPARE(rig.progress.numbers[j], j);
}

void DownloadRunTest::stepOrder()
{
    Rig rig;
    rig.request.portNumber = 3;
    rig.select({3});
    QCOMPARE(rig.run().outcome, DownloadOutcome::Completed);
    QCOMPARE(int(rig.port.portNumber), 3);
    // Each step's first appearance in the log, in the order the steps must happen.
    const QStringList steps =
        QStringLiteral("port 3|open|begin run|refresh 0|write|end run|drain|close").split('|');
    for (int k = 1; k < steps.size(); ++k) {
        const int previous = rig.log.indexOf(steps[k - 1]);
        QVERIFY2(previous >= 0 && previous < rig.log.indexOf(steps[k]), qPrintable(steps[k]));
    }
    for (const char *last : {"write", "pause 200", "refresh 999", "end run"})
        QVERIFY(rig.log.events.lastIndexOf(last) < rig.log.indexOf("drain"));
    QCOMPARE(rig.log.count("write while closed"), 0);
    QCOMPARE(rig.log.count("open"), 1);
    rig.checkIdle();
}

void DownloadRunTest::failures_data()
{
    QTest::addColumn<bool>("failOpen");
    QTest::addColumn<int>("failAtByte");
    QTest::addColumn<bool>("failDrain");
    QTest::addColumn<int>("lastNumberShown"); // -1: none
    QTest::addColumn<QString>("reason");      // what the port says went wrong

    // Send all with CR: the pair of 0 is 37 bytes, of 1 also 37, the whole run 38890.
    QTest::newRow("port does not open") << true << -1 << false << -1 << "In use.";
    QTest::newRow("port does not open, no reason") << true << -1 << false << -1 << "";
    QTest::newRow("first write") << false << 0 << false << 0 << "Hung up.";
    QTest::newRow("second write") << false << 1 << false << 0 << "";
    QTest::newRow("first byte of second pair") << false << 37 << false << 1 << "";
    QTest::newRow("last byte") << false << 38889 << false << 999 << "";
    QTest::newRow("drain") << false << -1 << true << 999 << "Timed out.";
}

void DownloadRunTest::failures()
{
    QFETCH(bool, failOpen);
    QFETCH(int, failAtByte);
    QFETCH(bool, failDrain);
    QFETCH(int, lastNumberShown);
    QFETCH(QString, reason);

    Rig rig;
    rig.request.portNumber = 2;
    rig.port.reason = reason;
    rig.port.failOpen = failOpen;
    rig.port.failAtByte = failAtByte;
    rig.port.failDrain = failDrain;
    const DownloadResult result = rig.run();

    // Stopped at once: nothing after the failing write, no pause after it, no drain.
    QCOMPARE(result.outcome, DownloadOutcome::Failed);
    QCOMPARE(rig.port.bytes.size(), failOpen ? 0 : failAtByte >= 0 ? failAtByte : 38890);
    QCOMPARE(result.charactersWritten, rig.port.bytes.size());
    if (failAtByte >= 0) {
        QVERIFY(rig.log.events.lastIndexOf("write") < rig.log.indexOf("close"));
        QCOMPARE(rig.log.count("drain"), 0);
        QCOMPARE(rig.log.count("pause 10"), failAtByte);
    }
    QCOMPARE(rig.progress.numbers.size(), lastNumberShown + 1);
    rig.checkIdle();

    // The device, and why on a second line when the port knows.
    const QString told = QStringLiteral("Error while sending data to port: /dev/fake2");
    QCOMPARE(failureText(result), reason.isEmpty() ? told : told + QLatin1Char('\n') + reason);
}

void DownloadRunTest::stops_data()
{
    QTest::addColumn<int>("stopAtByte"); // the check asks for a stop once this many bytes are out
    QTest::addColumn<StopRequest>("stop");
    QTest::addColumn<bool>("failDrain");
    QTest::addColumn<DownloadOutcome>("outcome");
    QTest::addColumn<int>("bytes");
    QTest::addColumn<int>("recordPauses");

    // Send all with CR: the pair of 0 is 37 bytes, of 1 also 37, the whole run 38890.
    const auto now = StopRequest::Now;
    const auto afterMessage = StopRequest::AfterMessage;
    const auto stopped = DownloadOutcome::Stopped;
    QTest::newRow("now, before the first character") << 0 << now << false << stopped << 0 << 0;
    QTest::newRow("now, inside the number record") << 2 << now << false << stopped << 2 << 0;
    QTest::newRow("now, between two pairs") << 37 << now << false << stopped << 37 << 0;
    QTest::newRow("after the message, before the first character")
        << 0 << afterMessage << false << stopped << 0 << 0;
    QTest::newRow("after the message, inside its number record")
        << 2 << afterMessage << false << stopped << 37 << 0;
    QTest::newRow("after the message, inside its text record")
        << 20 << afterMessage << false << stopped << 37 << 0;
    QTest::newRow("after the message, inside the second one")
        << 40 << afterMessage << false << stopped << 74 << 1;
    QTest::newRow("never") << 38891 << now << false << DownloadOutcome::Completed << 38890 << 1000;
    QTest::newRow("drain fails after the stop")
        << 5 << now << true << DownloadOutcome::Failed << 5 << 0;
    QTest::newRow("drain fails after a stop after the message")
        << 5 << afterMessage << true << DownloadOutcome::Failed << 37 << 0;
}

void DownloadRunTest::stops()
{
    QFETCH(int, stopAtByte);
    QFETCH(StopRequest, stop);
    QFETCH(bool, failDrain);
    QFETCH(DownloadOutcome, outcome);
    QFETCH(int, bytes);
    QFETCH(int, recordPauses);

    Rig rig;
    rig.port.failDrain = failDrain;
    const DownloadResult result = rig.run([&rig, stopAtByte, stop] {
        return rig.port.bytes.size() >= stopAtByte ? stop : StopRequest::None;
    });
    QCOMPARE(result.outcome, outcome);

    // Nothing is written once the stop applies, not even the pause after a finished message;
    // what was written is drained before the port closes.
    QCOMPARE(rig.port.bytes.size(), bytes);
    QCOMPARE(result.charactersWritten, bytes);
    QCOMPARE(rig.pause.pauses.count(200), recordPauses);
    QVERIFY(rig.log.indexOf("drain") >= 0 && rig.log.indexOf("drain") < rig.log.indexOf("close"));
    rig.checkIdle();
}

void DownloadRunTest::waitsGiveWay_data()
{
    QTest::addColumn<bool>("waitInOpen");              // else the drain waits
    QTest::addColumn<StopRequest>("stopWhileSending"); // asked once 2 bytes are out
    QTest::addColumn<StopRequest>("stopWhileWaiting"); // asked once the wait has begun
    QTest::addColumn<DownloadOutcome>("outcome");

    // Message 7 alone: 37 bytes.
    const auto none = StopRequest::None;
    const auto afterMessage = StopRequest::AfterMessage;
    const auto now = StopRequest::Now;
    QTest::newRow("opening: any stop gives it up")
        << true << none << afterMessage << DownloadOutcome::Stopped;
    QTest::newRow("opening: no stop, it times out")
        << true << none << none << DownloadOutcome::Failed;
    QTest::newRow("drain: a stop while it waits gives it up")
        << false << none << afterMessage << DownloadOutcome::Stopped;
    QTest::newRow("drain: the stop that ended the sending does not")
        << false << afterMessage << afterMessage << DownloadOutcome::Failed;
    QTest::newRow("drain: a second stop while it waits does")
        << false << afterMessage << now << DownloadOutcome::Stopped;
}

void DownloadRunTest::waitsGiveWay()
{
    QFETCH(bool, waitInOpen);
    QFETCH(StopRequest, stopWhileSending);
    QFETCH(StopRequest, stopWhileWaiting);
    QFETCH(DownloadOutcome, outcome);

    Rig rig;
    rig.select({7});
    rig.port.waitInOpen = waitInOpen;
    rig.port.waitInDrain = !waitInOpen;
    const DownloadResult result = rig.run([&] {
        if (rig.port.waitChecks >= 3)
            return stopWhileWaiting;
        return rig.port.bytes.size() >= 2 ? stopWhileSending : StopRequest::None;
    });
    QCOMPARE(result.outcome, outcome);
    // Given up soon after the stop, not timed out.
    QCOMPARE(rig.port.waitChecks, outcome == DownloadOutcome::Stopped ? 3 : 100);
    QCOMPARE(result.charactersWritten, waitInOpen ? 0 : 37);
    rig.checkIdle();
}

QTEST_GUILESS_MAIN(DownloadRunTest)
#include "download_run_test.moc"
