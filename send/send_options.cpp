// SPDX-License-Identifier: MIT
#include "send_options.h"

#include "message_selection.h"

#include <QCommandLineParser>

namespace norvane {

namespace {

const char *const Description =
    "Sends a message file to the display as the window's \"Send all\" and \"Send selection\" do:\n"
    "the same records, pauses and port settings. Pauses and the devices of COM1 to COM4 come\n"
    "from setup.ini in the working directory, as for the window.\n"
    "\n"
    "Several --port send the same messages to every port at once, each paced on its own.\n"
    "\n"
    "Exit status: 0 sent, 1 a file cannot be read, 2 bad command line, 3 port error (with\n"
    "several ports: any of them), 130 interrupted. The first Ctrl-C or SIGTERM finishes the\n"
    "message being sent (its number and text records; on every port) and stops there, or gives\n"
    "up a wait for the port at once; a second stops after the character being written; a third\n"
    "ends the program at once.";

SendCommandLine usageError(const QString &text)
{
    SendCommandLine result;
    result.action = SendCommandLine::Action::UsageError;
    result.text = text;
    return result;
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
    LineOptionHelp lineHelp;
    lineHelp.delayDefaults = QStringLiteral("default: setup.ini, else %1");
    lineHelp.port =
        QStringLiteral("COM1 to COM4 (mapped by setup.ini [Ports]; default COM1), a device such "
                       "as /dev/ttyUSB0, or tcp://HOST:PORT or rfc2217://HOST:PORT. Give it "
                       "several times to send to several ports at once.");
    const LineOptionSet line(lineHelp);
    const QCommandLineOption changedFrom(
        QStringLiteral("changed-from"),
        QStringLiteral("Send only the messages that differ from those of OLD, the file last sent "
                       "(read as \"Load\" reads it); --select narrows them further."),
        QStringLiteral("OLD"));
    const QCommandLineOption dryRun(
        QStringLiteral("dry-run"),
        QStringLiteral("Write the bytes to standard output instead: no port, no pauses."));
    const QCommandLineOption quiet({QStringLiteral("q"), QStringLiteral("quiet")},
                                   QStringLiteral("Print nothing but errors."));
    const QCommandLineOption listPorts(
        QStringLiteral("list-ports"),
        QStringLiteral("List the serial ports of this machine and a [Ports] line for setup.ini."));
    parser.addOptions({help, versionOption, all, select, changedFrom});
    line.addTo(parser);
    parser.addOptions({dryRun, quiet, listPorts});
    parser.addPositionalArgument(QStringLiteral("FILE"),
                                 QStringLiteral("The message file, read as \"Load\" reads it."));

    if (!parser.parse(arguments))
        return usageError(parser.errorText());
    const QString repeated = repeatedOption(parser, {QStringLiteral("port")});
    if (!repeated.isEmpty())
        return usageError(QStringLiteral("--%1 given more than once").arg(repeated));

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
    if (const std::optional<QString> error = line.read(parser, options.line))
        return usageError(*error);
    if (parser.isSet(changedFrom)) {
        options.changedFrom = parser.value(changedFrom);
        if (options.changedFrom.isEmpty())
            return usageError(QStringLiteral("--changed-from needs the file last sent"));
    }
    options.dryRun = parser.isSet(dryRun);
    options.quiet = parser.isSet(quiet);
    return result;
}

} // namespace norvane
