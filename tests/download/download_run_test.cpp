#include "download_run.h"
#include "fake_dialogs.h"
#include "fake_download.h"
#include "serial_output.h"

#include <QMap>
#include <QTest>

using namespace norvane;
using namespace norvane::test;

namespace {

using Pauses = QVector<qint32>;
using Numbers = QList<int>;
const QByteArray Blank32(32, ' ');

// Repaints (with the caption shown) and message boxes go into the shared log too, so that they
// can be placed against the steps of the port.
class LoggingProgress : public FakeProgress
{
public:
    explicit LoggingProgress(EventLog &log) : FakeProgress(log), m_log(log) {}
    void refresh() override
    {
        FakeProgress::refresh();
        m_log.add(QStringLiteral("refresh ") + caption);
    }

private:
    EventLog &m_log;
};

class LoggingMessageBox : public FakeMessageBox
{
public:
    explicit LoggingMessageBox(EventLog &log) : m_log(log) {}
    void showMessage(const QString &text) override
    {
        FakeMessageBox::showMessage(text);
        m_log.add(QStringLiteral("message"));
    }

private:
    EventLog &m_log;
};

struct Rig
{
    EventLog log;
    MessageTable messages;
    FakeControls controls{log};
    LoggingProgress progress{log};
    FakeSerialPort port{log};
    FakePause pause{log};
    LoggingMessageBox messageBox{log};
    qint16 charDelay = 10;
    qint16 recordDelay = 200;

    bool run(DownloadScope scope)
    {
        return runDownload(scope, DownloadData{messages, charDelay, recordDelay}, controls,
                           progress, port, pause, messageBox);
    }
    // The main window and its buttons are usable again and the port is released.
    void checkIdle()
    {
        QVERIFY(controls.mainVisible);
        for (bool enabled : controls.optionEnabled)
            QVERIFY(enabled);
        QVERIFY(!port.isOpen());
        QVERIFY(!progress.visible);
        // A raised priority never outlives the run, whatever ended it.
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
    void pausesNeverNegative_data();
    void pausesNeverNegative();
    void stepOrder();
    void failures_data();
    void failures();
    void stops_data();
    void stops();
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
    QCOMPARE(SendString(port, pause, qint16(charDelay), text), failAtByte < 0);

    // Every write is marked before it starts and followed by its pause; nothing after a failure.
    const QByteArray written = failAtByte < 0 ? text : text.left(failAtByte);
    QCOMPARE(port.bytes, written);
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
    QTest::addColumn<Qt::CheckState>("cr");
    QTest::addColumn<Qt::CheckState>("lf");
    QTest::addColumn<QByteArray>("pair");

    const QByteArray exact("0123456789abcdefGHIJKLMNOPQRSTUV");
    QTest::newRow("0, empty, CR") << 0 << QByteArray() << On << Off << "N0\rM" + Blank32 + "\r";
    QTest::newRow("12, loaded, none")
        << 12 << QByteArray("abc") << Off << Off << "N12Mabc" + QByteArray(29, ' ');
    QTest::newRow("999, exactly 32, LF") << 999 << exact << Off << On << "N999\nM" + exact + "\n";
    QTest::newRow("7, longer is cut, CR LF")
        << 7 << exact + "wxyz" << On << On << "N7\r\nM" + exact + "\r\n";
    QTest::newRow("trailing spaces kept, greyed CR")
        << 100 << QByteArray("  x  ") << Greyed << Off << "N100M  x" + QByteArray(29, ' ');
    QTest::newRow("high bytes kept, greyed CR, LF") << 5 << QByteArray("caf\xe9") << Greyed << On
                                                    << "N5\nMcaf\xe9" + QByteArray(28, ' ') + "\n";
    QTest::newRow("worked example: 7, CR")
        << 7 << "HELLO" + QByteArray(27, ' ') << On << Off
        << QByteArray::fromHex("4E370D4D48454C4C4F" + QByteArray(27, ' ').toHex() + "0D");
    QTest::newRow("CR, greyed LF") << 1 << QByteArray() << On << Greyed << "N1\rM" + Blank32 + "\r";
}

void DownloadRunTest::records()
{
    QFETCH(int, number);
    QFETCH(QByteArray, entry);
    QFETCH(Qt::CheckState, cr);
    QFETCH(Qt::CheckState, lf);
    QFETCH(QByteArray, pair);
    const QByteArray terminator = recordTerminator(cr, lf);
    QCOMPARE(numberRecord(number, terminator) + textRecord(entry, terminator), pair);
}

void DownloadRunTest::send_data()
{
    QTest::addColumn<bool>("all");
    QTest::addColumn<Numbers>("selected");
    QTest::addColumn<Qt::CheckState>("cr");
    QTest::addColumn<Qt::CheckState>("lf");
    QTest::addColumn<int>("totalBytes");

    // 1000 pairs: 2890 digits, 34 characters of "N" and text record each, 2 terminators each.
    QTest::newRow("all, CR (initial)") << true << Numbers{} << On << Off << 38890;
    QTest::newRow("all, none") << true << Numbers{} << Off << Off << 36890;
    QTest::newRow("all, LF") << true << Numbers{} << Off << On << 38890;
    QTest::newRow("all, CR LF") << true << Numbers{} << On << On << 40890;
    QTest::newRow("selection, none") << false << Numbers{} << On << Off << 0;
    QTest::newRow("selection, 5 and 900") << false << Numbers{900, 5} << On << Off << 76;
    QTest::newRow("selection, 7") << false << Numbers{7} << On << Off << 37;
    QTest::newRow("selection, 12, none") << false << Numbers{12} << Off << Off << 36;
    QTest::newRow("selection, 0 and 999, CR LF") << false << Numbers{0, 999} << On << On << 80;
}

void DownloadRunTest::send()
{
    QFETCH(bool, all);
    QFETCH(Numbers, selected);
    QFETCH(Qt::CheckState, cr);
    QFETCH(Qt::CheckState, lf);
    QFETCH(int, totalBytes);

    Rig rig;
    rig.controls.cr = cr;
    rig.controls.lf = lf;
    rig.controls.selected = QSet<int>(selected.begin(), selected.end());
    rig.messages[0] = "first";
    rig.messages[7] = "HELLO" + QByteArray(27, ' ');
    rig.messages[999] = "last";
    QVERIFY(rig.run(all ? DownloadScope::AllMessages : DownloadScope::SelectedMessages));

    // Every byte is put down to the number on show when it was written: each pair goes out
    // after its number's progress.
    const QByteArray terminator = recordTerminator(cr, lf);
    QMap<int, QByteArray> expected, sentUnder;
    QVector<int> pairSizes;
    for (int j = 0; j < MessageCount; ++j) {
        if (all || selected.contains(j)) {
            expected[j] = numberRecord(j, terminator) + textRecord(rig.messages[j], terminator);
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
    QVERIFY(rig.messageBox.texts.isEmpty());

    // Every number is shown, sent or not, after the initial 0.
    QCOMPARE(rig.progress.values.size(), 1 + MessageCount);
    QCOMPARE(rig.progress.values.first(), 0.0f);
    QCOMPARE(rig.progress.refreshedCaptions.size(), MessageCount);
    for (int j = 0; j < MessageCount; ++j) {
        QCOMPARE(rig.progress.values[1 + j], float(j));
        QCOMPARE(rig.progress.refreshedCaptions[j], QString::number(j));
    }
}

void DownloadRunTest::pausesNeverNegative_data()
{
    QTest::addColumn<int>("charDelay");
    QTest::addColumn<int>("recordDelay");
    QTest::addColumn<int>("charPause");
    QTest::addColumn<int>("recordPause");

    QTest::newRow("zero") << 0 << 0 << 0 << 0;
    QTest::newRow("negative record") << 10 << -200 << 10 << 0;
    QTest::newRow("both negative") << -1 << -32768 << 0 << 0;
    QTest::newRow("largest") << 32767 << 32767 << 32767 << 32767;
}

void DownloadRunTest::pausesNeverNegative()
{
    QFETCH(int, charDelay);
    QFETCH(int, recordDelay);
    QFETCH(int, charPause);
    QFETCH(int, recordPause);

    Rig rig;
    rig.charDelay = qint16(charDelay);
    rig.recordDelay = qint16(recordDelay);
    rig.controls.selected = {3, 40};
    QVERIFY(rig.run(DownloadScope::SelectedMessages));
    QCOMPARE(rig.pause.pauses, pausesFor({37, 38}, charPause, recordPause));
}

void DownloadRunTest::stepOrder()
{
    // Com1..Com4 are ports 1..4; with no option chosen the port is 0.
    for (int chosen = -1; chosen < 4; ++chosen) {
        Rig rig;
        rig.controls.chosenOption = chosen;
        rig.controls.selected = {3};
        QVERIFY(rig.run(DownloadScope::SelectedMessages));
        QCOMPARE(int(rig.port.portNumber), chosen + 1);
        // Each step's first appearance in the log, in the order the steps must happen.
        const QStringList steps =
            QStringLiteral(
                "option 0 off|option 1 off|option 2 off|option 3 off|progress value 0|"
                "main hide|progress show|port %1|open|begin run|refresh 0|write|end run|drain|"
                "close|progress hide|main show|option 0 on|option 1 on|option 2 on|option 3 on")
                .arg(chosen + 1)
                .split('|');
        for (int k = 1; k < steps.size(); ++k) {
            const int previous = rig.log.indexOf(steps[k - 1]);
            QVERIFY2(previous >= 0 && previous < rig.log.indexOf(steps[k]), qPrintable(steps[k]));
        }
        for (const char *last : {"write", "pause 200", "refresh 999", "end run"})
            QVERIFY(rig.log.events.lastIndexOf(last) < rig.log.indexOf("drain"));
        QCOMPARE(rig.log.count("write while closed"), 0);
        QCOMPARE(rig.log.count("open"), 1);

        // The idle state again, with the last number left on the progress window.
        rig.checkIdle();
        QCOMPARE(rig.progress.value, 999.0f);
        QCOMPARE(rig.progress.caption, QStringLiteral("999"));
    }
}

void DownloadRunTest::failures_data()
{
    QTest::addColumn<bool>("failOpen");
    QTest::addColumn<int>("failAtByte");
    QTest::addColumn<bool>("failDrain");
    QTest::addColumn<int>("chosen");
    QTest::addColumn<int>("lastNumberShown"); // -1: none
    QTest::addColumn<QString>("reason");      // what the port says went wrong

    // Send all with CR: the pair of 0 is 37 bytes, of 1 also 37, the whole run 38890.
    QTest::newRow("port does not open") << true << -1 << false << 0 << -1 << "In use.";
    QTest::newRow("Com3 does not open") << true << -1 << false << 2 << -1 << "";
    QTest::newRow("first write") << false << 0 << false << 0 << 0 << "Hung up.";
    QTest::newRow("second write") << false << 1 << false << 0 << 0 << "";
    QTest::newRow("first byte of second pair") << false << 37 << false << 0 << 1 << "";
    QTest::newRow("last byte") << false << 38889 << false << 3 << 999 << "";
    QTest::newRow("drain") << false << -1 << true << 0 << 999 << "Timed out.";
}

void DownloadRunTest::failures()
{
    QFETCH(bool, failOpen);
    QFETCH(int, failAtByte);
    QFETCH(bool, failDrain);
    QFETCH(int, chosen);
    QFETCH(int, lastNumberShown);
    QFETCH(QString, reason);

    Rig rig;
    rig.port.reason = reason;
    rig.port.failOpen = failOpen;
    rig.port.failAtByte = failAtByte;
    rig.port.failDrain = failDrain;
    rig.controls.chosenOption = chosen;
    rig.messages[5] = "keep me";
    rig.controls.selected = {5, 6};
    const MessageTable before = rig.messages;
    QVERIFY(!rig.run(DownloadScope::AllMessages));

    // Stopped at once: nothing after the failing write, no pause after it, no drain.
    QCOMPARE(rig.port.bytes.size(), failOpen ? 0 : failAtByte >= 0 ? failAtByte : 38890);
    if (failAtByte >= 0) {
        QVERIFY(rig.log.events.lastIndexOf("write") < rig.log.indexOf("close"));
        QCOMPARE(rig.log.count("drain"), 0);
        QCOMPARE(rig.log.count("pause 10"), failAtByte);
    }
    QCOMPARE(rig.progress.values.size(), 1 + lastNumberShown + 1);

    // The user is told last, over the usable main window, and why on a second line when the
    // port knows; nothing the user made is touched.
    rig.checkIdle();
    const QString told =
        QStringLiteral("Error while sending data to port: /dev/fake%1").arg(chosen + 1);
    QCOMPARE(rig.messageBox.texts,
             QStringList{reason.isEmpty() ? told : told + QLatin1Char('\n') + reason});
    QCOMPARE(rig.log.events.last(), QStringLiteral("message"));
    QVERIFY(rig.messages == before);
    QVERIFY(rig.controls.selected == (QSet<int>{5, 6}));
}

void DownloadRunTest::stops_data()
{
    QTest::addColumn<int>("stopAtByte"); // the check says stop once this many bytes are out
    QTest::addColumn<bool>("failDrain");
    QTest::addColumn<DownloadOutcome>("outcome");
    QTest::addColumn<int>("recordPauses");

    // Send all with CR: the pair of 0 is 37 bytes, the whole run 38890.
    QTest::newRow("before the first character") << 0 << false << DownloadOutcome::Stopped << 0;
    QTest::newRow("inside the number record") << 2 << false << DownloadOutcome::Stopped << 0;
    QTest::newRow("between two pairs") << 37 << false << DownloadOutcome::Stopped << 1;
    QTest::newRow("never") << 38891 << false << DownloadOutcome::Completed << 1000;
    QTest::newRow("drain fails after the stop") << 5 << true << DownloadOutcome::Failed << 0;
}

void DownloadRunTest::stops()
{
    QFETCH(int, stopAtByte);
    QFETCH(bool, failDrain);
    QFETCH(DownloadOutcome, outcome);
    QFETCH(int, recordPauses);

    Rig rig;
    rig.port.failDrain = failDrain;
    const auto stopRequested = [&rig, stopAtByte] { return rig.port.bytes.size() >= stopAtByte; };
    QCOMPARE(runDownload(DownloadScope::AllMessages,
                         DownloadData{rig.messages, rig.charDelay, rig.recordDelay}, rig.controls,
                         rig.progress, rig.port, rig.pause, rig.messageBox, stopRequested),
             outcome);

    // Nothing is written once the check says stop; what was written is drained before the port
    // closes, and the windows are back as after any run.
    QCOMPARE(rig.port.bytes.size(), qMin(stopAtByte, 38890));
    QCOMPARE(rig.pause.pauses.count(200), recordPauses);
    QVERIFY(rig.log.indexOf("drain") >= 0 && rig.log.indexOf("drain") < rig.log.indexOf("close"));
    rig.checkIdle();
    QCOMPARE(rig.messageBox.texts.size(), outcome == DownloadOutcome::Failed ? 1 : 0);
}

QTEST_GUILESS_MAIN(DownloadRunTest)
#include "download_run_test.moc"
