#include "download_run.h"
#include "event_log.h"
#include "fake_dialogs.h"
#include "fake_download.h"

#include <QMap>
#include <QTest>

using namespace norvane;
using namespace norvane::test;

namespace {

using Pauses = QVector<qint32>;
using Numbers = QList<int>;

// A progress window that also logs each repaint with the caption it shows, so that the sending
// of a number can be placed against the progress of that number.
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

// A message box whose showing lands in the shared log.
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

// Everything one download touches, with the main window's initial states.
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
        const DownloadData data{messages, charDelay, recordDelay};
        return RunDownload(scope, data, controls, progress, port, pause, messageBox);
    }
};

QByteArray pairOf(int number, const QByteArray &entry, const QByteArray &terminator)
{
    return NumberRecord(number, terminator) + TextRecord(entry, terminator);
}

// The pauses a run should ask for: CharDelay after every character of a pair, then RecordDelay.
Pauses pausesFor(const QVector<int> &pairSizes, qint32 charPause, qint32 recordPause)
{
    Pauses pauses;
    for (int size : pairSizes) {
        pauses.append(Pauses(size, charPause));
        pauses.append(recordPause);
    }
    return pauses;
}

} // namespace

class TestDownloadRun : public QObject
{
    Q_OBJECT

private slots:
    void sendAll_data();
    void sendAll();
    void sendSelection_data();
    void sendSelection();
    void workedExample();
    void portFromOptionButtons_data();
    void portFromOptionButtons();
    void pausesNeverNegative_data();
    void pausesNeverNegative();
    void stepOrder();
    void progressComesBeforeEachNumbersBytes();
    void failures_data();
    void failures();
};

void TestDownloadRun::sendAll_data()
{
    QTest::addColumn<int>("cr");
    QTest::addColumn<int>("lf");
    QTest::addColumn<int>("totalBytes");
    QTest::addColumn<QByteArray>("firstBytes");
    QTest::addColumn<QByteArray>("lastNumberRecord");

    // 1000 pairs: 2890 digits, 34 characters of "N" and text record each, 2 terminators each.
    QTest::newRow("CR (initial)") << 1 << 0 << 38890 << QByteArray("\x4e\x30\x0d")
                                  << QByteArray("N999\r");
    QTest::newRow("none") << 0 << 0 << 36890 << QByteArray("N0Mfirst ") << QByteArray("N999");
    QTest::newRow("LF") << 0 << 1 << 38890 << QByteArray("N0\nM") << QByteArray("N999\n");
    QTest::newRow("CR LF") << 1 << 1 << 40890 << QByteArray("N0\r\nM") << QByteArray("N999\r\n");
}

void TestDownloadRun::sendAll()
{
    QFETCH(int, cr);
    QFETCH(int, lf);
    QFETCH(int, totalBytes);
    QFETCH(QByteArray, firstBytes);
    QFETCH(QByteArray, lastNumberRecord);

    Rig rig;
    rig.controls.cr = cr;
    rig.controls.lf = lf;
    rig.messages[0] = "first";
    rig.messages[999] = "last";
    QVERIFY(rig.run(DownloadScope::AllMessages));

    const QByteArray &bytes = rig.port.bytes;
    QCOMPARE(bytes.size(), totalBytes);
    QVERIFY(bytes.startsWith(firstBytes));
    const QByteArray terminator = RecordTerminator(cr, lf);
    QVERIFY(bytes.endsWith(lastNumberRecord + TextRecord("last", terminator)));
    QByteArray expected;
    QVector<int> pairSizes;
    for (int j = 0; j < MessageCount; ++j) {
        const QByteArray pair = pairOf(j, rig.messages[j], terminator);
        expected += pair;
        pairSizes.append(pair.size());
    }
    QCOMPARE(bytes, expected);
    QCOMPARE(rig.port.writes, totalBytes); // one write per character
    QCOMPARE(rig.pause.pauses, pausesFor(pairSizes, 10, 200));
    QCOMPARE(rig.port.portNumber, qint16(1));
    QVERIFY(rig.messageBox.texts.isEmpty());
}

void TestDownloadRun::sendSelection_data()
{
    QTest::addColumn<Numbers>("selected");
    QTest::addColumn<int>("cr");
    QTest::addColumn<int>("lf");
    QTest::addColumn<QByteArray>("expected");

    const QByteArray spaces32(32, ' ');
    QTest::newRow("none") << Numbers{} << 1 << 0 << QByteArray();
    QTest::newRow("5 and 900") << Numbers{900, 5} << 1 << 0
                               << "N5\rM" + spaces32 + "\rN900\rM" + spaces32 + "\r";
    QTest::newRow("12 without terminator") << Numbers{12} << 0 << 0 << "N12M" + spaces32;
    QTest::newRow("0 and 999 with CR LF")
        << Numbers{0, 999} << 1 << 1 << "N0\r\nM" + spaces32 + "\r\nN999\r\nM" + spaces32 + "\r\n";
}

void TestDownloadRun::sendSelection()
{
    QFETCH(Numbers, selected);
    QFETCH(int, cr);
    QFETCH(int, lf);
    QFETCH(QByteArray, expected);

    Rig rig;
    rig.controls.cr = cr;
    rig.controls.lf = lf;
    for (int j : selected)
        rig.controls.selected.insert(j);
    QVERIFY(rig.run(DownloadScope::SelectedMessages));

    QCOMPARE(rig.port.bytes, expected);
    QCOMPARE(rig.pause.pauses.count(200), selected.size());
    QCOMPARE(rig.log.count("open"), 1);
    QCOMPARE(rig.log.count("close"), 1);
    QVERIFY(!rig.port.opened);

    // Every number is shown, selected or not, after the initial 0.
    QCOMPARE(rig.progress.values.size(), 1 + MessageCount);
    QCOMPARE(rig.progress.values.first(), 0.0f);
    QCOMPARE(rig.progress.refreshedCaptions.size(), MessageCount);
    for (int j = 0; j < MessageCount; ++j) {
        QCOMPARE(rig.progress.values[1 + j], float(j));
        QCOMPARE(rig.progress.refreshedCaptions[j], QString::number(j));
    }
}

void TestDownloadRun::workedExample()
{
    Rig rig;
    rig.messages[7] = "HELLO" + QByteArray(27, ' ');
    rig.controls.selected = {7};
    QVERIFY(rig.run(DownloadScope::SelectedMessages));

    QCOMPARE(rig.port.bytes,
             QByteArray::fromHex("4E370D4D48454C4C4F" + QByteArray(27, ' ').toHex() + "0D"));
    // 37 character pauses and one record pause: at least 570 ms with the defaults.
    QCOMPARE(rig.pause.pauses, pausesFor({37}, 10, 200));
}

void TestDownloadRun::portFromOptionButtons_data()
{
    QTest::addColumn<int>("chosen");
    QTest::addColumn<int>("portNumber");

    QTest::newRow("Com1") << 0 << 1;
    QTest::newRow("Com2") << 1 << 2;
    QTest::newRow("Com3") << 2 << 3;
    QTest::newRow("Com4") << 3 << 4;
    QTest::newRow("none chosen") << -1 << 0;
}

void TestDownloadRun::portFromOptionButtons()
{
    QFETCH(int, chosen);
    QFETCH(int, portNumber);

    Rig rig;
    rig.controls.chosenOption = chosen;
    rig.run(DownloadScope::SelectedMessages);
    QCOMPARE(int(rig.port.portNumber), portNumber);
    QCOMPARE(rig.log.count(QStringLiteral("port %1").arg(portNumber)), 1);
}

void TestDownloadRun::pausesNeverNegative_data()
{
    QTest::addColumn<int>("charDelay");
    QTest::addColumn<int>("recordDelay");
    QTest::addColumn<int>("charPause");
    QTest::addColumn<int>("recordPause");

    QTest::newRow("defaults") << 10 << 200 << 10 << 200;
    QTest::newRow("zero") << 0 << 0 << 0 << 0;
    QTest::newRow("negative record") << 10 << -200 << 10 << 0;
    QTest::newRow("both negative") << -1 << -32768 << 0 << 0;
    QTest::newRow("largest") << 32767 << 32767 << 32767 << 32767;
}

void TestDownloadRun::pausesNeverNegative()
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

void TestDownloadRun::stepOrder()
{
    Rig rig;
    rig.controls.chosenOption = 1;
    rig.controls.selected = {3};
    QVERIFY(rig.run(DownloadScope::SelectedMessages));
    const EventLog &log = rig.log;

    const auto before = [&log](const QString &a, const QString &b) {
        const int ia = log.indexOf(a);
        const int ib = log.indexOf(b);
        if (ia < 0 || ib < 0 || ia >= ib)
            qWarning("expected \"%s\" before \"%s\"", qPrintable(a), qPrintable(b));
        return ia >= 0 && ia < ib;
    };
    for (int i = 0; i < 4; ++i)
        QVERIFY(before(QStringLiteral("option %1 off").arg(i), "progress value 0"));
    QVERIFY(before("progress value 0", "main hide"));
    QVERIFY(before("main hide", "progress show"));
    QVERIFY(before("progress show", "port 2"));
    QVERIFY(before("port 2", "open"));
    QVERIFY(before("open", "refresh 0"));
    QVERIFY(before("refresh 0", "write"));
    QVERIFY(log.events.lastIndexOf("write") < log.indexOf("drain"));
    QVERIFY(log.events.lastIndexOf("pause 200") < log.indexOf("drain"));
    QVERIFY(log.events.lastIndexOf("refresh 999") < log.indexOf("drain"));
    QVERIFY(before("drain", "close"));
    QVERIFY(before("close", "progress hide"));
    QVERIFY(before("progress hide", "main show"));
    for (int k = 0; k < 4; ++k)
        QVERIFY(before("main show", QStringLiteral("option %1 on").arg(k)));
    QCOMPARE(log.count("write while closed"), 0);

    // The idle state again, with the last number left on the progress window.
    QVERIFY(rig.controls.mainVisible);
    for (bool enabled : rig.controls.optionEnabled)
        QVERIFY(enabled);
    QVERIFY(!rig.port.isOpen());
    QVERIFY(!rig.progress.visible);
    QCOMPARE(rig.progress.value, 999.0f);
    QCOMPARE(rig.progress.caption, QStringLiteral("999"));
}

void TestDownloadRun::progressComesBeforeEachNumbersBytes()
{
    Rig rig;
    rig.controls.selected = {0, 1, 500, 999};
    QVERIFY(rig.run(DownloadScope::SelectedMessages));

    // Attribute every byte to the number on show when it was written.
    QMap<QString, QByteArray> sentUnder;
    QString shown;
    int byte = 0;
    for (const QString &event : rig.log.events) {
        if (event.startsWith("refresh "))
            shown = event.mid(8);
        else if (event == "write")
            sentUnder[shown].append(rig.port.bytes.at(byte++));
    }
    QCOMPARE(sentUnder.size(), 4);
    for (int j : {0, 1, 500, 999})
        QCOMPARE(sentUnder.value(QString::number(j)), pairOf(j, QByteArray(), "\r"));
}

void TestDownloadRun::failures_data()
{
    QTest::addColumn<bool>("failOpen");
    QTest::addColumn<int>("failAtByte");
    QTest::addColumn<bool>("failDrain");
    QTest::addColumn<int>("chosen");
    QTest::addColumn<int>("lastNumberShown"); // -1: none

    // Send all with CR: the pair of 0 is 37 bytes, of 1 also 37, the whole run 38890.
    QTest::newRow("port does not open") << true << -1 << false << 0 << -1;
    QTest::newRow("Com3 does not open") << true << -1 << false << 2 << -1;
    QTest::newRow("first write") << false << 0 << false << 0 << 0;
    QTest::newRow("second write") << false << 1 << false << 0 << 0;
    QTest::newRow("first byte of second pair") << false << 37 << false << 0 << 1;
    QTest::newRow("last byte") << false << 38889 << false << 3 << 999;
    QTest::newRow("drain") << false << -1 << true << 0 << 999;
}

void TestDownloadRun::failures()
{
    QFETCH(bool, failOpen);
    QFETCH(int, failAtByte);
    QFETCH(bool, failDrain);
    QFETCH(int, chosen);
    QFETCH(int, lastNumberShown);

    Rig rig;
    rig.port.failOpen = failOpen;
    rig.port.failAtByte = failAtByte;
    rig.port.failDrain = failDrain;
    rig.controls.chosenOption = chosen;
    rig.messages[5] = "keep me";
    rig.controls.selected = {5, 6};
    const MessageTable before = rig.messages;

    QVERIFY(!rig.run(DownloadScope::AllMessages));

    // Stopped at once: nothing after the failing write, no pause after it.
    const int expectedBytes = failOpen ? 0 : failAtByte >= 0 ? failAtByte : 38890;
    QCOMPARE(rig.port.bytes.size(), expectedBytes);
    if (failAtByte >= 0) {
        QCOMPARE(rig.log.events.last(), QStringLiteral("message"));
        QVERIFY(rig.log.events.lastIndexOf("write") < rig.log.indexOf("close"));
        QCOMPARE(rig.log.count("drain"), 0);
        // Each successful write had its pause; the failing one none.
        QCOMPARE(rig.log.count("pause 10"), failAtByte);
    }
    if (failOpen) {
        QCOMPARE(rig.log.count("write"), 0);
    }
    QCOMPARE(rig.progress.values.size(), 1 + lastNumberShown + 1);

    // The windows and buttons are usable again, the port is released, the user is told.
    QVERIFY(!rig.port.isOpen());
    QVERIFY(!rig.progress.visible);
    QVERIFY(rig.controls.mainVisible);
    for (bool enabled : rig.controls.optionEnabled)
        QVERIFY(enabled);
    const QStringList expectedText{
        QStringLiteral("Error while sending data to port: /dev/fake%1").arg(chosen + 1)};
    QCOMPARE(rig.messageBox.texts, expectedText);
    QVERIFY(rig.log.indexOf("message") > rig.log.indexOf("main show"));
    QVERIFY(rig.log.indexOf("message") > rig.log.indexOf("option 3 on"));

    // Nothing the user made is touched.
    QVERIFY(rig.messages == before);
    QVERIFY(rig.controls.selected == (QSet<int>{5, 6}));
}

QTEST_GUILESS_MAIN(TestDownloadRun)
#include "test_download_run.moc"
