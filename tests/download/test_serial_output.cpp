#include "download_run.h"
#include "event_log.h"
#include "fake_download.h"
#include "serial_output.h"

#include <QTest>

using namespace norvane;
using namespace norvane::test;

using Pauses = QVector<qint32>;

class TestSerialOutput : public QObject
{
    Q_OBJECT

private slots:
    void sendString_data();
    void sendString();
    void eachWriteIsFollowedByItsPause();

    void terminator_data();
    void terminator();
    void numberRecord_data();
    void numberRecord();
    void textRecord_data();
    void textRecord();
};

void TestSerialOutput::sendString_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("charDelay");
    QTest::addColumn<int>("failAtByte");
    QTest::addColumn<QByteArray>("written");
    QTest::addColumn<Pauses>("pauses");
    QTest::addColumn<bool>("result");

    QTest::newRow("empty") << QByteArray() << 10 << -1 << QByteArray() << Pauses{} << true;
    QTest::newRow("one character")
        << QByteArray("A") << 10 << -1 << QByteArray("A") << Pauses{10} << true;
    QTest::newRow("N7 CR") << QByteArray("N7\r") << 10 << -1 << QByteArray("N7\r")
                           << Pauses{10, 10, 10} << true;
    QTest::newRow("spaces kept") << QByteArray(" a  ") << 3 << -1 << QByteArray(" a  ")
                                 << Pauses{3, 3, 3, 3} << true;
    QTest::newRow("NUL and high bytes") << QByteArray("\0\xe9\xff", 3) << 1 << -1
                                        << QByteArray("\0\xe9\xff", 3) << Pauses{1, 1, 1} << true;
    QTest::newRow("zero pause") << QByteArray("N7\r") << 0 << -1 << QByteArray("N7\r")
                                << Pauses{0, 0, 0} << true;
    QTest::newRow("negative pause")
        << QByteArray("N7\r") << -5 << -1 << QByteArray("N7\r") << Pauses{0, 0, 0} << true;
    QTest::newRow("most negative pause")
        << QByteArray("ab") << -32768 << -1 << QByteArray("ab") << Pauses{0, 0} << true;
    QTest::newRow("longest pause")
        << QByteArray("a") << 32767 << -1 << QByteArray("a") << Pauses{32767} << true;
    QTest::newRow("first write fails")
        << QByteArray("abcd") << 10 << 0 << QByteArray() << Pauses{} << false;
    QTest::newRow("third write fails")
        << QByteArray("abcd") << 10 << 2 << QByteArray("ab") << Pauses{10, 10} << false;
    QTest::newRow("last write fails")
        << QByteArray("abcd") << 10 << 3 << QByteArray("abc") << Pauses{10, 10, 10} << false;
}

void TestSerialOutput::sendString()
{
    QFETCH(QByteArray, text);
    QFETCH(int, charDelay);
    QFETCH(int, failAtByte);
    QFETCH(QByteArray, written);
    QFETCH(Pauses, pauses);
    QFETCH(bool, result);

    EventLog log;
    FakeSerialPort port(log);
    FakePause pause(log);
    port.opened = true;
    port.failAtByte = failAtByte;

    QCOMPARE(SendString(port, pause, qint16(charDelay), text), result);
    QCOMPARE(port.bytes, written);
    QCOMPARE(pause.pauses, pauses);
}

void TestSerialOutput::eachWriteIsFollowedByItsPause()
{
    EventLog log;
    FakeSerialPort port(log);
    FakePause pause(log);
    port.opened = true;
    QVERIFY(SendString(port, pause, 7, "N7\r"));
    // Each pause counts from the start of the write before it.
    const QStringList expected{"mark",    "write", "pause 7", "mark",   "write",
                               "pause 7", "mark",  "write",   "pause 7"};
    QCOMPARE(log.events, expected);
}

void TestSerialOutput::terminator_data()
{
    QTest::addColumn<int>("cr");
    QTest::addColumn<int>("lf");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("none") << 0 << 0 << QByteArray();
    QTest::newRow("CR") << 1 << 0 << QByteArray("\r");
    QTest::newRow("LF") << 0 << 1 << QByteArray("\n");
    QTest::newRow("CR LF") << 1 << 1 << QByteArray("\r\n");
    QTest::newRow("greyed CR") << 2 << 0 << QByteArray();
    QTest::newRow("greyed CR, LF") << 2 << 1 << QByteArray("\n");
    QTest::newRow("CR, greyed LF") << 1 << 2 << QByteArray("\r");
}

void TestSerialOutput::terminator()
{
    QFETCH(int, cr);
    QFETCH(int, lf);
    QFETCH(QByteArray, expected);
    QCOMPARE(RecordTerminator(cr, lf), expected);
}

void TestSerialOutput::numberRecord_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<QByteArray>("terminator");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("0 CR") << 0 << QByteArray("\r") << QByteArray("N0\r");
    QTest::newRow("7 CR LF") << 7 << QByteArray("\r\n") << QByteArray("N7\r\n");
    QTest::newRow("12 none") << 12 << QByteArray() << QByteArray("N12");
    QTest::newRow("100 LF") << 100 << QByteArray("\n") << QByteArray("N100\n");
    QTest::newRow("999 CR") << 999 << QByteArray("\r") << QByteArray("N999\r");
}

void TestSerialOutput::numberRecord()
{
    QFETCH(int, number);
    QFETCH(QByteArray, terminator);
    QFETCH(QByteArray, expected);
    QCOMPARE(NumberRecord(number, terminator), expected);
}

void TestSerialOutput::textRecord_data()
{
    QTest::addColumn<QByteArray>("entry");
    QTest::addColumn<QByteArray>("terminator");
    QTest::addColumn<QByteArray>("expected");

    const QByteArray spaces32(32, ' ');
    QTest::newRow("empty") << QByteArray() << QByteArray("\r") << "M" + spaces32 + "\r";
    QTest::newRow("three characters loaded")
        << QByteArray("abc") << QByteArray() << "Mabc" + QByteArray(29, ' ');
    QTest::newRow("exactly 32") << QByteArray("0123456789abcdefGHIJKLMNOPQRSTUV")
                                << QByteArray("\r\n")
                                << QByteArray("M0123456789abcdefGHIJKLMNOPQRSTUV\r\n");
    QTest::newRow("longer is cut")
        << QByteArray("0123456789abcdefGHIJKLMNOPQRSTUVwxyz") << QByteArray("\n")
        << QByteArray("M0123456789abcdefGHIJKLMNOPQRSTUV\n");
    QTest::newRow("trailing spaces kept")
        << QByteArray("  x  ") << QByteArray("\r") << "M  x" + QByteArray(29, ' ') + "\r";
    QTest::newRow("high bytes kept")
        << QByteArray("caf\xe9") << QByteArray() << "Mcaf\xe9" + QByteArray(28, ' ');
}

void TestSerialOutput::textRecord()
{
    QFETCH(QByteArray, entry);
    QFETCH(QByteArray, terminator);
    QFETCH(QByteArray, expected);
    QCOMPARE(TextRecord(entry, terminator), expected);
}

QTEST_GUILESS_MAIN(TestSerialOutput)
#include "test_serial_output.moc"
