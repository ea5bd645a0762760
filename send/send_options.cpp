#include "send_options.h"

#include <QCommandLineParser>
#include <QRegularExpression>
#include <limits>

namespace norvane {

namespace {

const char *const Description =
    "Sends a message file to the display as the window's \"Send all\" and \"Send selection\" do:\n"
    "the same records, pauses and port settings. Pauses and the devices of COM1 to COM4 come\n"
    "from setup.ini in the working directory, as for the window.\n"
    "\n"
    "Exit status: 0 sent, 1 the file cannot be read, 2 bad command line, 3 port error,\n"
    "130 interrupted (Ctrl-C or SIGTERM stop after the character being written).";

SendCommandLine usageError(const QString &text)
{
    SendCommandLine result;
    result.action = SendCommandLine::Action::UsageError;
    result.text = text;
    return result;
}

std::optional<qint16> milliseconds(const QString &text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    if (!ok || value < 0 || value > std::numeric_limits<qint16>::max())
        return std::nullopt;
    return qint16(value);
}

} // namespace

SendCommandLine parseSendCommandLine(const QStringList &arguments, const QString &version)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromUtf8(Description));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help."));
    const QCommandLineOption versionOption(QStringLiteral("version"),
                                           QStringLiteral("Show the version."));
    const QCommandLineOption all(QStringLiteral("all"),
                                 QStringLiteral("Send messages 0 to 999 (the default)."));
    const QCommandLineOption select(
        QStringLiteral("select"),
        QStringLiteral("Send only these messages, in ascending order, each once: numbers and "
                       "ranges from 0 to 999 such as 0-9,15,20-22."),
        QStringLiteral("LIST"));
    const QCommandLineOption terminator(
        QStringLiteral("terminator"),
        QStringLiteral("End every record with cr, lf, crlf or none (default cr)."),
        QStringLiteral("KIND"));
    const QCommandLineOption port(
        QStringLiteral("port"),
        QStringLiteral("COM1 to COM4 (mapped by setup.ini [Ports]; default COM1), a device such "
                       "as /dev/ttyUSB0, or tcp://HOST:PORT or rfc2217://HOST:PORT."),
        QStringLiteral("PORT"));
    const QCommandLineOption charDelay(
        QStringLiteral("char-delay"),
        QStringLiteral("Pause after every character, 0 to 32767 (default: setup.ini, else 10)."),
        QStringLiteral("MS"));
    const QCommandLineOption recordDelay(
        QStringLiteral("record-delay"),
        QStringLiteral("Pause after every message, 0 to 32767 (default: setup.ini, else 200)."),
        QStringLiteral("MS"));
    const QCommandLineOption dryRun(
        QStringLiteral("dry-run"),
        QStringLiteral("Write the bytes to standard output instead: no port, no pauses."));
    const QCommandLineOption quiet({QStringLiteral("q"), QStringLiteral("quiet")},
                                   QStringLiteral("Print nothing but errors."));
    const QCommandLineOption listPorts(
        QStringLiteral("list-ports"),
        QStringLiteral("List the serial ports of this machine and a [Ports] line for setup.ini."));
    parser.addOptions({help, versionOption, all, select, terminator, port, charDelay, recordDelay,
                       dryRun, quiet, listPorts});
    parser.addPositionalArgument(QStringLiteral("FILE"),
                                 QStringLiteral("The message file, read as \"Load\" reads it."));

    if (!parser.parse(arguments))
        return usageError(parser.errorText());

    SendCommandLine result;
    if (parser.isSet(help)) {
        result.action = SendCommandLine::Action::Help;
        // The usage line names the program as it was started; the help names it plainly.
        result.text = parser.helpText();
        result.text.replace(0, result.text.indexOf(QLatin1Char('\n')),
                            QStringLiteral("Usage: norvane-send [options] FILE"));
        return result;
    }
    if (parser.isSet(versionOption)) {
        result.action = SendCommandLine::Action::Version;
        result.text = QStringLiteral("norvane-send ") + version;
        return result;
    }
    if (parser.isSet(listPorts)) {
        result.action = SendCommandLine::Action::ListPorts;
        return result;
    }

    SendOptions &options = result.options;
    const QStringList files = parser.positionalArguments();
    if (files.size() != 1 || files.constFirst().isEmpty())
        return usageError(files.size() > 1 ? QStringLiteral("one message file at a time")
                                           : QStringLiteral("no message file given"));
    options.file = files.constFirst();

    if (parser.isSet(select)) {
        if (parser.isSet(all))
            return usageError(QStringLiteral("--all and --select exclude each other"));
        options.selection = parseMessageSelection(parser.value(select));
        if (!options.selection)
            return usageError(QStringLiteral("--select needs numbers and ranges from 0 to 999 "
                                             "such as 0-9,15,20-22, not \"%1\"")
                                  .arg(parser.value(select)));
    }
    if (parser.isSet(terminator)) {
        const QString kind = parser.value(terminator).toLower();
        if (kind != QLatin1String("cr") && kind != QLatin1String("lf") &&
            kind != QLatin1String("crlf") && kind != QLatin1String("none"))
            return usageError(QStringLiteral("--terminator is one of cr, lf, crlf, none"));
        options.cr = kind.startsWith(QLatin1String("cr")) ? Qt::Checked : Qt::Unchecked;
        options.lf = kind.endsWith(QLatin1String("lf")) ? Qt::Checked : Qt::Unchecked;
    }
    if (parser.isSet(port)) {
        const QString name = parser.value(port);
        const auto com = QRegularExpression(QStringLiteral("^COM([1-4])$"),
                                            QRegularExpression::CaseInsensitiveOption)
                             .match(name);
        if (name.isEmpty())
            return usageError(QStringLiteral("--port needs COM1 to COM4 or a device"));
        if (com.hasMatch())
            options.portIndex = com.captured(1).toInt() - 1;
        else
            options.device = name;
    }
    for (const auto &[option, value] : {std::pair{&charDelay, &options.charDelay},
                                        std::pair{&recordDelay, &options.recordDelay}}) {
        if (!parser.isSet(*option))
            continue;
        *value = milliseconds(parser.value(*option));
        if (!*value)
            return usageError(QStringLiteral("--%1 needs milliseconds from 0 to 32767")
                                  .arg(option->names().constFirst()));
    }
    options.dryRun = parser.isSet(dryRun);
    options.quiet = parser.isSet(quiet);
    return result;
}

} // namespace norvane
