// SPDX-License-Identifier: MIT
#include "telnet_codec.h"

#include "telnet_protocol.h"

namespace norvane {

namespace {

using namespace telnet;

// The line the device needs, in the protocol's codes.
constexpr quint32 WantedBaudRate = 9600;
constexpr quint8 WantedDataSize = 8;

// Nothing the server legitimately sends in a subnegotiation is longer (a signature is text of
// a line or so); the rest of a longer one is dropped rather than stored.
constexpr int MaxSubnegotiation = 256;

const char ClientSignature[] = "Norvane";

bool acceptedOnOurSide(quint8 option)
{
    return option == Binary || option == SuppressGoAhead || option == ComPortOption;
}

bool acceptedOnServerSide(quint8 option)
{
    return option == Binary || option == SuppressGoAhead;
}

void appendCommand(QByteArray &out, quint8 verb, quint8 option)
{
    out.append(char(IAC)).append(char(verb)).append(char(option));
}

void appendComPortCommand(QByteArray &out, quint8 command, const QByteArray &value)
{
    out.append(char(IAC)).append(char(SB)).append(char(ComPortOption)).append(char(command));
    for (const char c : value)
        out.append(TelnetCodec::escape(c));
    out.append(char(IAC)).append(char(SE));
}

QByteArray bigEndian(quint32 value)
{
    QByteArray bytes(4, '\0');
    for (int i = 3; i >= 0; --i, value >>= 8)
        bytes[i] = char(value & 0xff);
    return bytes;
}

QString parityName(quint8 code)
{
    static const char *const names[] = {"no", "odd", "even", "mark", "space"};
    if (code >= 1 && code <= 5)
        return QStringLiteral("%1 parity").arg(QLatin1String(names[code - 1]));
    return QStringLiteral("parity code %1").arg(code);
}

QString stopSizeName(quint8 code)
{
    switch (code) {
    case 1:
        return QStringLiteral("1 stop bit");
    case 2:
        return QStringLiteral("2 stop bits");
    case 3:
        return QStringLiteral("1.5 stop bits");
    default:
        return QStringLiteral("stop bit code %1").arg(code);
    }
}

QString flowControlName(quint8 code)
{
    switch (code) {
    case 1:
        return QStringLiteral("no flow control");
    case 2:
        return QStringLiteral("XON/XOFF flow control");
    case 3:
        return QStringLiteral("hardware flow control");
    default:
        return QStringLiteral("flow control code %1").arg(code);
    }
}

} // namespace

QByteArray TelnetCodec::start()
{
    QByteArray out;
    appendCommand(out, WILL, Binary);
    appendCommand(out, DO, Binary);
    appendCommand(out, WILL, ComPortOption);
    m_localAsked.set(Binary);
    m_remoteAsked.set(Binary);
    m_localAsked.set(ComPortOption);
    return out;
}

QByteArray TelnetCodec::escape(char c)
{
    return quint8(c) == IAC ? QByteArray(2, char(IAC)) : QByteArray(1, c);
}

QByteArray TelnetCodec::receive(const QByteArray &bytes)
{
    m_heard = m_heard || !bytes.isEmpty();
    QByteArray reply;
    for (const char c : bytes)
        take(quint8(c), reply);
    checkReady();
    return reply;
}

void TelnetCodec::take(quint8 b, QByteArray &reply)
{
    switch (m_parse) {
    case Parse::Data:
        // Data from the server has no use on a line that is only written to.
        if (b == IAC)
            m_parse = Parse::Command;
        return;
    case Parse::Command:
        if (b == WILL || b == WONT || b == DO || b == DONT) {
            m_verb = b;
            m_parse = Parse::Option;
        } else if (b == SB) {
            m_subnegotiation.clear();
            m_subnegotiationTooLong = false;
            m_parse = Parse::Subnegotiation;
        } else {
            // IAC IAC (a data byte 255) and the commands without an option (NOP, GA, ...)
            m_parse = Parse::Data;
        }
        return;
    case Parse::Option:
        command(m_verb, b, reply);
        m_parse = Parse::Data;
        return;
    case Parse::Subnegotiation:
        if (b == IAC)
            m_parse = Parse::SubnegotiationCommand;
        else
            appendToSubnegotiation(b);
        return;
    case Parse::SubnegotiationCommand:
        if (b == IAC) {
            appendToSubnegotiation(b);
            m_parse = Parse::Subnegotiation;
        } else if (b == SE) {
            if (!m_subnegotiationTooLong)
                subnegotiation(reply);
            m_parse = Parse::Data;
        } else {
            // A command inside a subnegotiation breaks it off; the command itself still counts.
            m_parse = Parse::Command;
            take(b, reply);
        }
        return;
    }
}

void TelnetCodec::appendToSubnegotiation(quint8 b)
{
    if (m_subnegotiation.size() < MaxSubnegotiation)
        m_subnegotiation.append(char(b));
    else
        m_subnegotiationTooLong = true;
}

// NOLINTNEXTLINE(bugprone-easily-swappable-parameters): verb and option, in the wire's order
void TelnetCodec::command(quint8 verb, quint8 option, QByteArray &reply)
{
    // Answers follow the usual rule that keeps two ends from answering each other for ever:
    // a request that would not change an option's state is not answered, nor is an answer to
    // a request of ours.
    switch (verb) {
    case WILL:
        if (m_remoteOn[option])
            return;
        if (acceptedOnServerSide(option)) {
            m_remoteOn.set(option);
            if (!m_remoteAsked[option])
                appendCommand(reply, DO, option);
        } else {
            appendCommand(reply, DONT, option);
        }
        m_remoteAsked.reset(option);
        return;
    case WONT:
        if (m_remoteOn[option] && !m_remoteAsked[option])
            appendCommand(reply, DONT, option);
        m_remoteOn.reset(option);
        m_remoteAsked.reset(option);
        return;
    case DO:
        if (m_localOn[option])
            return;
        if (acceptedOnOurSide(option)) {
            m_localOn.set(option);
            if (!m_localAsked[option])
                appendCommand(reply, WILL, option);
        } else {
            appendCommand(reply, WONT, option);
        }
        m_localAsked.reset(option);
        if (option == ComPortOption && m_localOn[option] && !m_settingsSent) {
            appendComPortCommand(reply, SetBaudRate, bigEndian(WantedBaudRate));
            appendComPortCommand(reply, SetDataSize, QByteArray(1, char(WantedDataSize)));
            appendComPortCommand(reply, SetParity, QByteArray(1, char(NoParity)));
            appendComPortCommand(reply, SetStopSize, QByteArray(1, char(OneStopBit)));
            appendComPortCommand(reply, SetControl, QByteArray(1, char(NoFlowControl)));
            m_settingsSent = true;
        }
        return;
    case DONT:
        if (!m_localOn[option] && !m_localAsked[option])
            return;
        if (m_localOn[option] && !m_localAsked[option])
            appendCommand(reply, WONT, option);
        m_localOn.reset(option);
        m_localAsked.reset(option);
        if (option == ComPortOption)
            fail(QStringLiteral("The server refuses COM port control, so the line cannot be set."));
        else if (option == Binary)
            fail(QStringLiteral("The server refuses binary transmission, which the messages "
                                "need."));
        return;
    }
}

void TelnetCodec::subnegotiation(QByteArray &reply)
{
    if (m_subnegotiation.size() < 2 || quint8(m_subnegotiation[0]) != ComPortOption)
        return;
    const quint8 command = quint8(m_subnegotiation[1]);
    const QByteArray value = m_subnegotiation.mid(2);

    if (command == ServerOffset + Signature) {
        // Without text it asks for ours.
        if (value.isEmpty())
            appendComPortCommand(reply, Signature, QByteArray(ClientSignature));
        return;
    }
    // Before our settings went out, no answer is one to them.
    if (!m_settingsSent)
        return;
    if (command == ServerOffset + SetBaudRate && value.size() == 4) {
        quint32 baudRate = 0;
        for (const char c : value)
            baudRate = baudRate << 8 | quint8(c);
        m_reported.baudRate = baudRate;
    } else if (value.size() == 1) {
        const quint8 code = quint8(value[0]);
        if (command == ServerOffset + SetDataSize)
            m_reported.dataSize = code;
        else if (command == ServerOffset + SetParity)
            m_reported.parity = code;
        else if (command == ServerOffset + SetStopSize)
            m_reported.stopSize = code;
        // Of the control answers only those about outbound flow control (codes 1 to 3, also the
        // answer to "no flow control") are ours; the others report break, DTR and RTS.
        else if (command == ServerOffset + SetControl && code >= 1 && code <= 3)
            m_reported.flowControl = code;
    }
    // Line and modem state notifications and flow control suspend / resume are not needed: the
    // characters are paced far below what any server takes in.
}

void TelnetCodec::checkReady()
{
    if (m_state != State::Negotiating || !m_localOn[Binary] || !m_localOn[ComPortOption])
        return;
    const ReportedLine &r = m_reported;
    if (!r.baudRate || !r.dataSize || !r.parity || !r.stopSize || !r.flowControl)
        return;
    const auto mismatch = [this](const QString &got, const QString &wanted) {
        fail(QStringLiteral("The server set the line to %1 instead of %2.").arg(got, wanted));
    };
    if (*r.baudRate != WantedBaudRate)
        mismatch(QStringLiteral("%1 baud").arg(*r.baudRate),
                 QStringLiteral("%1 baud").arg(WantedBaudRate));
    else if (*r.dataSize != WantedDataSize)
        mismatch(QStringLiteral("%1 data bits").arg(*r.dataSize),
                 QStringLiteral("%1 data bits").arg(WantedDataSize));
    else if (*r.parity != NoParity)
        mismatch(parityName(*r.parity), parityName(NoParity));
    else if (*r.stopSize != OneStopBit)
        mismatch(stopSizeName(*r.stopSize), stopSizeName(OneStopBit));
    else if (*r.flowControl != NoFlowControl)
        mismatch(flowControlName(*r.flowControl), flowControlName(NoFlowControl));
    else
        m_state = State::Ready;
}

QString TelnetCodec::awaitedText() const
{
    const char *why = "the server has not confirmed the line settings";
    if (!m_heard)
        why = "the server answered nothing (is it an RFC 2217 port?)";
    else if (!m_localOn[Binary])
        why = "the server never agreed to binary transmission, which the messages need";
    else if (!m_localOn[ComPortOption])
        why = "the server never agreed to COM port control, so the line cannot be set";
    return QStringLiteral("The server did not finish setting up the line in time: %1.")
        .arg(QLatin1String(why));
}

void TelnetCodec::fail(const QString &reason)
{
    if (m_state == State::Failed)
        return;
    m_state = State::Failed;
    m_error = reason;
}

} // namespace norvane
