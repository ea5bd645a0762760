// SPDX-License-Identifier: MIT
#include "network_serial_port.h"

namespace norvane {

NetworkSerialPort::NetworkSerialPort(const QString &address, const NetworkPortLimits &limits,
                                     HostResolver resolver)
    : m_address(address), m_limits(limits), m_resolver(std::move(resolver))
{
}

NetworkSerialPort::~NetworkSerialPort()
{
    close();
}

bool NetworkSerialPort::open()
{
    close();
    m_error.clear();
    m_telnet.reset();
    const std::optional<NetworkAddress> address = parseNetworkAddress(m_address);
    if (!address)
        return fail(QStringLiteral("The port name is not a network address of the form "
                                   "tcp://HOST:PORT or rfc2217://HOST:PORT."));

    // One time limit for everything, so a dead server or name server holds the window for a
    // few seconds at most.
    const QDeadlineTimer deadline(m_limits.open);
    const HostAddresses host =
        lookUpHost(address->host, address->port, m_limits.open, m_resolver, m_interrupted);
    if (!host.error.isEmpty())
        return fail(host.error);
    if (!m_connection.connectTo(host.addresses, deadline))
        return fail(m_connection.errorString());
    if (address->protocol == NetworkAddress::Protocol::Rfc2217 && !setUpLine(deadline))
        return false;
    return true;
}

bool NetworkSerialPort::setUpLine(const QDeadlineTimer &deadline)
{
    m_telnet.emplace();
    if (!m_connection.send(m_telnet->start(), deadline))
        return fail(m_connection.errorString());
    while (m_telnet->state() == TelnetCodec::State::Negotiating) {
        // Told by what the server has not answered yet.
        if (deadline.hasExpired())
            return fail(m_telnet->awaitedText());
        QByteArray input;
        if (!m_connection.receive(input, deadline, InputSlice))
            return fail(m_connection.errorString());
        const QByteArray reply = m_telnet->receive(input);
        if (!reply.isEmpty() && !m_connection.send(reply, deadline))
            return fail(m_connection.errorString());
    }
    if (m_telnet->state() == TelnetCodec::State::Failed)
        return fail(m_telnet->errorString());
    return true;
}

bool NetworkSerialPort::write(char c)
{
    if (!m_connection.isOpen())
        return fail(QStringLiteral("The port is not open."));
    const QByteArray bytes = m_telnet ? TelnetCodec::escape(c) : QByteArray(1, c);
    if (!m_connection.send(bytes, QDeadlineTimer(m_limits.write)))
        return fail(m_connection.errorString());
    // Only now, so the character is not held up: this is where a server that has gone away is
    // noticed, and where its requests are answered.
    return takeInput();
}

SerialPort::Attempt NetworkSerialPort::writeWithoutWaiting(char c)
{
    if (!m_connection.isOpen()) {
        fail(QStringLiteral("The port is not open."));
        return Attempt::Failed;
    }
    const QByteArray bytes = m_telnet ? TelnetCodec::escape(c) : QByteArray(1, c);
    switch (m_connection.sendWithoutWaiting(bytes, QDeadlineTimer(m_limits.write))) {
    case TcpConnection::Sent::WouldWait:
        return Attempt::WouldWait;
    case TcpConnection::Sent::Failed:
        fail(m_connection.errorString());
        return Attempt::Failed;
    case TcpConnection::Sent::All:
        break;
    }
    return takeInput() ? Attempt::Written : Attempt::Failed;
}

bool NetworkSerialPort::takeInput()
{
    QByteArray input;
    if (!m_connection.receive(input, QDeadlineTimer(0), InputSlice))
        return fail(m_connection.errorString());
    if (!m_telnet || input.isEmpty())
        return true;
    const QByteArray reply = m_telnet->receive(input);
    if (!reply.isEmpty() && !m_connection.send(reply, QDeadlineTimer(m_limits.write)))
        return fail(m_connection.errorString());
    if (m_telnet->state() == TelnetCodec::State::Failed)
        return fail(m_telnet->errorString());
    return true;
}

bool NetworkSerialPort::drain()
{
    if (!m_connection.isOpen())
        return fail(QStringLiteral("The port is not open."));
    if (!takeInput())
        return false;
    if (!m_connection.waitUntilSent(QDeadlineTimer(m_limits.drain)))
        return fail(m_connection.errorString());
    return true;
}

void NetworkSerialPort::close()
{
    m_connection.close(QDeadlineTimer(m_limits.close));
}

void NetworkSerialPort::setWaitInterruption(const WaitInterruption &interrupted)
{
    m_interrupted = interrupted;
    m_connection.setWaitInterruption(interrupted);
}

TelnetCodec::ReportedLine NetworkSerialPort::reportedLine() const
{
    return m_telnet ? m_telnet->reportedLine() : TelnetCodec::ReportedLine();
}

bool NetworkSerialPort::fail(const QString &reason)
{
    m_error = reason;
    m_connection.close(QDeadlineTimer(0));
    return false;
}

} // namespace norvane
