// SPDX-License-Identifier: MIT
#pragma once

#include <QtGlobal>

// The codes of the Telnet protocol and of its COM port control option (RFC 854, RFC 2217), as a
// serial device server and its client exchange them.
namespace norvane::telnet {

// Commands.
constexpr quint8 SE = 240;  // end of a subnegotiation
constexpr quint8 NOP = 241; // no operation
constexpr quint8 SB = 250;  // start of a subnegotiation
constexpr quint8 WILL = 251;
constexpr quint8 WONT = 252;
constexpr quint8 DO = 253;
constexpr quint8 DONT = 254;
constexpr quint8 IAC = 255; // "interpret as command"; doubled, a data byte 255

// Options.
constexpr quint8 Binary = 0;
constexpr quint8 Echo = 1;
constexpr quint8 SuppressGoAhead = 3;
constexpr quint8 TerminalType = 24;
constexpr quint8 ComPortOption = 44;

// COM port control commands from client to server; the server's answers add ServerOffset.
constexpr quint8 Signature = 0;
constexpr quint8 SetBaudRate = 1;
constexpr quint8 SetDataSize = 2;
constexpr quint8 SetParity = 3;
constexpr quint8 SetStopSize = 4;
constexpr quint8 SetControl = 5;
constexpr quint8 ServerOffset = 100;

// Values of those commands.
constexpr quint8 NoParity = 1;
constexpr quint8 OneStopBit = 1;
constexpr quint8 NoFlowControl = 1;

} // namespace norvane::telnet
