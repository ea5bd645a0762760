// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QCommandLineOption>
#include <QList>
#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <optional>

class QCommandLineParser;

namespace norvane {

// Where a download goes, as the command line names it: Com1 to Com4 (as setup.ini maps them), or
// a device or network address of its own.
struct PortChoice
{
    qint16 portNumber = 1; // Com1 to Com4 as 1 to 4, when no device is named
    QString device;        // a device or network address; empty: the Com port above
};

// The values of the options the programs share for a download. What is not given is left empty
// for the program to fill in its own way.
struct LineOptions
{
    std::optional<QByteArray> terminator;
    std::optional<qint16> charDelay;
    std::optional<qint16> recordDelay;
    std::optional<PortChoice> port; // the first --port given
    QList<PortChoice> ports;        // every --port given, in order (where it may repeat)
};

// What the help of a program says of the shared options where programs differ.
struct LineOptionHelp
{
    // Where a pause not given comes from ("default: setup.ini, else %1", %1 the built-in pause).
    QString delayDefaults;
    // What --port names and what happens without it.
    QString port;
};

// The options of a download that norvane-send and the benchmark share, spelled, explained and
// read one way for both: --terminator, --char-delay, --record-delay and --port.
class LineOptionSet
{
public:
    explicit LineOptionSet(const LineOptionHelp &help);

    void addTo(QCommandLineParser &parser) const;
    // Reads the options given. Returns what is wrong with them, or nothing.
    std::optional<QString> read(const QCommandLineParser &parser, LineOptions &options) const;

private:
    QCommandLineOption m_terminator;
    QCommandLineOption m_charDelay;
    QCommandLineOption m_recordDelay;
    QCommandLineOption m_port;
};

// The terminator a name stands for: "cr", "lf", "crlf" or "none", in any case.
std::optional<QByteArray> terminatorNamed(const QString &name);
// Milliseconds of a pause: 0 to 32767, in decimal digits.
std::optional<qint16> pauseMilliseconds(const QString &text);
// The port --port names: COM1 to COM4 (any case), a network address that can be opened, or any
// other device name. Nothing for an empty name, a COM port other than those four, and a network
// address that is not valid; `error` then says why.
std::optional<PortChoice> portNamed(const QString &name, QString &error);

// The first option given more than once, but for those in `mayRepeat`; empty when there is none.
QString repeatedOption(const QCommandLineParser &parser, const QStringList &mayRepeat = {});

} // namespace norvane
