// SPDX-License-Identifier: MIT
#include "telnet_codec.h"
#include "telnet_protocol.h"

#include <QTest>
#include <initializer_list>

using namespace norvane;

namespace {

using namespace telnet;
constexpr int ComPort = ComPortOption;

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (const int v : values)
        out.append(char(v));
    return out;
}

// A COM port control subnegotiation: IAC SB 44 <command> <value...> IAC SE.
QByteArray comPort(int command, std::initializer_list<int> value)
{
    return bytes({IAC, SB, ComPort, command}) + bytes(value) + bytes({IAC, SE});
}

const QByteArray Settings = comPort(1, {0, 0, 0x25, 0x80}) + comPort(2, {8}) + comPort(3, {1}) +
                            comPort(4, {1}) + comPort(5, {1});

// What ser2net sends right after a connection is taken, as recorded from ser2net 4.3.
const QByteArray Ser2netGreeting = bytes({IAC, WILL, SuppressGoAhead,
                                          IAC, DO,   SuppressGoAhead,
                                          IAC, WILL, Echo,
                                          IAC, DONT, Echo,
                                          IAC, DO,   0,
                                          IAC, WILL, 0,
                                          IAC, DO,   ComPort}) +
                                   comPort(107, {0});

// The server's answers to our settings, each naming the value it has set.
QByteArray answers(std::initializer_list<int> baud, int dataSize, int parity, int stopSize,
                   int flow)
{
    return comPort(101, baud) + comPort(102, {dataSize}) + comPort(103, {parity}) +
           comPort(104, {stopSize}) + comPort(105, {flow});
}

} // namespace

class TelnetCodecTest : public QObject
{
    Q_OBJECT

private slots:
    void escape_data();
    void escape();
    void replies_data();
    void replies();
    void outcome_data();
    void outcome();
};

void TelnetCodecTest::escape_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QByteArray>("wire");
    QTest::newRow("letter") << QByteArray("A") << QByteArray("A");
    QTest::newRow("CR stays alone") << QByteArray("\r") << QByteArray("\r");
    QTest::newRow("255 doubled") << bytes({255}) << bytes({255, 255});
}

void TelnetCodecTest::escape()
{
    QFETCH(QByteArray, data);
    QFETCH(QByteArray, wire);
    QCOMPARE(TelnetCodec::escape(data[0]), wire);
}

void TelnetCodecTest::replies_data()
{
    QTest::addColumn<QByteArray>("received");
    QTest::addColumn<QByteArray>("reply");

    QTest::newRow("echo offered: refused") << bytes({IAC, WILL, Echo}) << bytes({IAC, DONT, Echo});
    QTest::newRow("terminal type asked: refused")
        << bytes({IAC, DO, TerminalType}) << bytes({IAC, WONT, TerminalType});
    QTest::newRow("suppress go-ahead both ways: accepted")
        << bytes({IAC, WILL, SuppressGoAhead, IAC, DO, SuppressGoAhead})
        << bytes({IAC, DO, SuppressGoAhead, IAC, WILL, SuppressGoAhead});
    QTest::newRow("answers to our binary requests: no reply")
        << bytes({IAC, DO, 0, IAC, WILL, 0}) << QByteArray();
    QTest::newRow("what is already so: no reply")
        << bytes({IAC, DONT, Echo, IAC, WONT, Echo, IAC, DONT, TerminalType}) << QByteArray();
    QTest::newRow("COM port control agreed: the settings") << bytes({IAC, DO, ComPort}) << Settings;
    QTest::newRow("data, NOP and 255 ignored")
        << QByteArray("N7\r") + bytes({IAC, NOP, IAC, IAC, 'x'}) << QByteArray();
    QTest::newRow("signature asked")
        << comPort(100, {}) << bytes({IAC, SB, ComPort, 0}) + "Norvane" + bytes({IAC, SE});
    QTest::newRow("notifications ignored")
        << comPort(106, {0x60}) + comPort(107, {0xb0}) + comPort(108, {}) << QByteArray();
    QTest::newRow("ser2net greeting")
        << Ser2netGreeting
        << bytes({IAC, DO, SuppressGoAhead, IAC, WILL, SuppressGoAhead, IAC, DONT, Echo}) +
               Settings;
    QTest::newRow("command breaks off a subnegotiation")
        << bytes({IAC, SB, ComPort, 100, IAC, DO, TerminalType})
        << bytes({IAC, WONT, TerminalType});
    QTest::newRow("overlong subnegotiation dropped")
        << bytes({IAC, SB, ComPort, 100}) + QByteArray(1000, 'x') + bytes({IAC, SE})
        << QByteArray();
}

void TelnetCodecTest::replies()
{
    QFETCH(QByteArray, received);
    QFETCH(QByteArray, reply);

    TelnetCodec whole;
    whole.start();
    QCOMPARE(whole.receive(received), reply);

    // The same bytes one at a time, as TCP may deliver them.
    TelnetCodec pieces;
    pieces.start();
    QByteArray replies;
    for (const char c : received)
        replies += pieces.receive(QByteArray(1, c));
    QCOMPARE(replies, reply);
}

void TelnetCodecTest::outcome_data()
{
    QTest::addColumn<QByteArray>("received");
    QTest::addColumn<TelnetCodec::State>("state");
    QTest::addColumn<QString>("error");

    const QByteArray agreed = bytes({IAC, DO, 0, IAC, WILL, 0, IAC, DO, ComPort});
    const QByteArray good = answers({0, 0, 0x25, 0x80}, 8, 1, 1, 1);
    using S = TelnetCodec::State;

    QTest::newRow("ser2net") << Ser2netGreeting + good << S::Ready << QString();
    QTest::newRow("answers still missing")
        << agreed + comPort(101, {0, 0, 0x25, 0x80}) + comPort(102, {8}) << S::Negotiating
        << QString();
    QTest::newRow("answers before the settings are none")
        << good + bytes({IAC, DO, 0, IAC, DO, ComPort}) << S::Negotiating << QString();
    QTest::newRow("COM port control refused")
        << bytes({IAC, DO, 0, IAC, DONT, ComPort}) << S::Failed
        << "The server refuses COM port control, so the line cannot be set.";
    QTest::newRow("binary refused") << bytes({IAC, DONT, 0}) + agreed + good << S::Failed
                                    << "The server refuses binary transmission, which the "
                                       "messages need.";
    QTest::newRow("other baud rate")
        << agreed + answers({0, 0, 0x12, 0xc0}, 8, 1, 1, 1) << S::Failed
        << "The server set the line to 4800 baud instead of 9600 baud.";
    QTest::newRow("baud rate holding an escaped 255")
        << agreed + answers({0, 0, IAC, IAC, 0}, 8, 1, 1, 1) << S::Failed
        << "The server set the line to 65280 baud instead of 9600 baud.";
    QTest::newRow("even parity") << agreed + answers({0, 0, 0x25, 0x80}, 8, 3, 1, 1) << S::Failed
                                 << "The server set the line to even parity instead of no "
                                    "parity.";
    QTest::newRow("hardware flow control")
        << agreed + answers({0, 0, 0x25, 0x80}, 8, 1, 1, 3) << S::Failed
        << "The server set the line to hardware flow control instead of no flow control.";
}

void TelnetCodecTest::outcome()
{
    QFETCH(QByteArray, received);
    QFETCH(TelnetCodec::State, state);
    QFETCH(QString, error);

    TelnetCodec codec;
    codec.start();
    codec.receive(received);
    QCOMPARE(codec.state(), state);
    QCOMPARE(codec.errorString(), error);
    if (state == TelnetCodec::State::Ready) {
        const TelnetCodec::ReportedLine &line = codec.reportedLine();
        QCOMPARE(line.baudRate.value_or(0), 9600u);
        QCOMPARE(line.dataSize.value_or(0), quint8(8));
    }
}

QTEST_GUILESS_MAIN(TelnetCodecTest)
#include "telnet_codec_test.moc"
