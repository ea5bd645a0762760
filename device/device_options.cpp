// SPDX-License-Identifier: MIT
#include "device_options.h"

#include <QCommandLineParser>
#include <cmath>

namespace norvane {

namespace {

const char *const Description =
    "Virtual message display: creates a pseudo-terminal, prints its path and a setup.ini\n"
    "line mapping Com1 to it, and shows every message the tool downloads to it.\n"
    "With --tcp it listens on a TCP port instead, as a raw serial device server would, and\n"
    "takes one connection after another.\n"
    "It exits on SIGINT or SIGTERM, or with --idle after that many seconds without data\n"
    "(counted from the start, then from the last byte received or, with --tcp, the last\n"
    "connection's end), and prints a summary.";

DeviceCommandLine error(const QString &text)
{
    DeviceCommandLine result;
    result.outcome = DeviceCommandLine::Outcome::Error;
    result.message = text;
    return result;
}

} // namespace

DeviceCommandLine parseDeviceCommandLine(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromLatin1(Description));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Show the version."));
    const QCommandLineOption charDelay(
        QStringLiteral("char-delay"),
        QStringLiteral("Warn about gaps inside a message shorter than MS milliseconds "
                       "(by more than 0.1 ms, the reader's own wake-up jitter). Gaps are "
                       "measured on arrival and include the line's delivery latency, which "
                       "can make the gap after a late first byte look short."),
        QStringLiteral("MS"));
    const QCommandLineOption save(QStringLiteral("save"),
                                  QStringLiteral("On exit, write the received messages to FILE "
                                                 "as a message file."),
                                  QStringLiteral("FILE"));
    const QCommandLineOption idle(QStringLiteral("idle"),
                                  QStringLiteral("Exit after SECONDS without data."),
                                  QStringLiteral("SECONDS"));
    const QCommandLineOption quiet(QStringLiteral("quiet"),
                                   QStringLiteral("Do not show the messages."));
    const QCommandLineOption tcp(QStringLiteral("tcp"),
                                 QStringLiteral("Listen on this TCP address (raw, one connection "
                                                "at a time) instead of a pseudo-terminal; "
                                                "port 0 takes a free port. IPv6: [::1]:PORT."),
                                 QStringLiteral("HOST:PORT"));
    parser.addOptions({help, version, charDelay, save, idle, quiet, tcp});

    if (!parser.parse(arguments))
        return error(parser.errorText());
    if (!parser.positionalArguments().isEmpty())
        return error(QStringLiteral("unexpected argument: %1")
                         .arg(parser.positionalArguments().constFirst()));

    DeviceCommandLine result;
    if (parser.isSet(help)) {
        result.outcome = DeviceCommandLine::Outcome::Help;
        // The device runs without a QCoreApplication, so Qt does not know the program's name
        // and leaves a placeholder for it in the usage line.
        result.message =
            parser.helpText().replace(QLatin1String("<executable_name>"), arguments.value(0));
        return result;
    }
    if (parser.isSet(version)) {
        result.outcome = DeviceCommandLine::Outcome::Help;
        result.message = QStringLiteral("norvane-device " NORVANE_VERSION);
        return result;
    }
    if (parser.isSet(charDelay)) {
        bool ok = false;
        const int ms = parser.value(charDelay).toInt(&ok);
        if (!ok || ms < 0 || ms > 32767)
            return error(QStringLiteral("--char-delay needs milliseconds from 0 to 32767"));
        result.options.charDelayMs = ms;
    }
    if (parser.isSet(save)) {
        result.options.saveFile = parser.value(save);
        if (result.options.saveFile.isEmpty())
            return error(QStringLiteral("--save needs a file name"));
    }
    if (parser.isSet(idle)) {
        bool ok = false;
        const double seconds = parser.value(idle).toDouble(&ok);
        if (!ok || !std::isfinite(seconds) || seconds <= 0 || seconds > 1e6)
            return error(QStringLiteral("--idle needs a positive number of seconds"));
        result.options.idleSeconds = seconds;
    }
    result.options.quiet = parser.isSet(quiet);
    if (parser.isSet(tcp)) {
        result.options.tcpAddress = parser.value(tcp);
        if (result.options.tcpAddress.isEmpty())
            return error(QStringLiteral("--tcp needs HOST:PORT"));
    }
    return result;
}

} // namespace norvane
