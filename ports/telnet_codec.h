// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>
#include <bitset>
#include <optional>

namespace norvane {

// The client side of a Telnet connection to a serial device server with COM port control
// (RFC 2217), as pure logic: it is given the bytes the server sends and says what to send back.
//
// It asks for binary transmission both ways (otherwise a CR on its own would be changed on the
// way) and for COM port control, and once the server agrees sets the line to 9600 baud, 8 data
// bits, no parity, 1 stop bit, no flow control. The server answers each setting with the value
// it has actually set; any other value than the one asked for is a failure, as is a server that
// refuses binary transmission or COM port control. Options the server offers or asks about are
// accepted when harmless (suppress go-ahead) and refused otherwise; its notifications and any
// data it sends are ignored, as the line is written to only.
class TelnetCodec
{
public:
    enum class State { Negotiating, Ready, Failed };

    // The line as the server reported it, in the protocol's codes.
    struct ReportedLine
    {
        std::optional<quint32> baudRate;
        std::optional<quint8> dataSize;
        std::optional<quint8> parity;      // 1 none, 2 odd, 3 even, 4 mark, 5 space
        std::optional<quint8> stopSize;    // 1 one, 2 two, 3 one and a half
        std::optional<quint8> flowControl; // 1 none, 2 XON/XOFF, 3 hardware
    };

    // What the client sends first, right after connecting: its option requests.
    QByteArray start();

    // Takes bytes received from the server, in pieces of any size, and returns what to send in
    // reply (often nothing).
    QByteArray receive(const QByteArray &bytes);

    // A data byte as it goes on the wire: byte 255 is doubled, everything else goes as it is.
    static QByteArray escape(char c);

    // While still negotiating: why the line is not ready yet, in plain words, as the reason a
    // set-up that ran out of time gives (what the server has not agreed to or answered).
    QString awaitedText() const;

    State state() const { return m_state; }
    // Why the negotiation failed, in plain words; empty unless state() is Failed.
    QString errorString() const { return m_error; }
    const ReportedLine &reportedLine() const { return m_reported; }

private:
    enum class Parse { Data, Command, Option, Subnegotiation, SubnegotiationCommand };

    void take(quint8 b, QByteArray &reply);
    void appendToSubnegotiation(quint8 b);
    void command(quint8 verb, quint8 option, QByteArray &reply);
    void subnegotiation(QByteArray &reply);
    void checkReady();
    void fail(const QString &reason);

    Parse m_parse = Parse::Data;
    quint8 m_verb = 0;
    QByteArray m_subnegotiation;
    bool m_subnegotiationTooLong = false;

    // Per option: enabled on our side / on the server's side, and whether we asked for it and
    // wait for the answer.
    std::bitset<256> m_localOn, m_localAsked, m_remoteOn, m_remoteAsked;
    bool m_settingsSent = false;

    bool m_heard = false; // anything received from the server
    State m_state = State::Negotiating;
    QString m_error;
    ReportedLine m_reported;
};

} // namespace norvane
