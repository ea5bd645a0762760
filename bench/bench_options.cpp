// SPDX-License-Identifier: MIT
#include "bench_options.h"

#include "arrival_recorder.h"
#include "message_table.h"

#include <QCommandLineParser>

namespace norvane {

namespace {

constexpr int MaxLoad = 64;
constexpr int MaxRounds = 100;
constexpr int MaxPorts = 64;

BenchCommandLine error(const QString &text)
{
    BenchCommandLine result;
    result.outcome = BenchCommandLine::Outcome::Error;
    result.message = text;
    return result;
}

std::optional<int> integer(const QString &text, int low, int high)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < low || value > high)
        return std::nullopt;
    return value;
}

} // namespace

BenchCommandLine parseBenchCommandLine(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Times a real download (Qt serial port, steady pause, download run) into a\n"
        "pseudo-terminal and compares it with the pauses it asked for. The last line is\n"
        "pacing: messages N, bytes B, measured S s, model M s, ratio R, min gap G ms, cpu C %"));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Show the version."));
    LineOptionHelp lineHelp;
    lineHelp.delayDefaults = QStringLiteral("default %1");
    lineHelp.port = QStringLiteral("Write to this port (COM1 to COM4 as setup.ini maps them, a "
                                   "device or a network address) instead of a pseudo-terminal of "
                                   "our own.");
    const LineOptionSet line(lineHelp);
    const QCommandLineOption messages(QStringLiteral("messages"),
                                      QStringLiteral("Send messages 0..N-1 as a selection "
                                                     "(default: send all 1000)."),
                                      QStringLiteral("N"));
    const QCommandLineOption load(QStringLiteral("load"),
                                  QStringLiteral("Keep N busy loops of normal priority running "
                                                 "during the measurement (default 0)."),
                                  QStringLiteral("N"));
    const QCommandLineOption window(QStringLiteral("window"),
                                    QStringLiteral("Download through the main window: select the "
                                                   "messages and click \"Send selection\" (or "
                                                   "\"Send all\")."));
    const QCommandLineOption arrivals(
        QStringLiteral("arrivals"),
        QStringLiteral("Time every character's arrival at the pseudo-terminal: its reader is "
                       "woken by each one, which on a virtual machine can hold up the writer "
                       "itself (by default the reader collects what arrived every %1 ms).")
            .arg(ArrivalRecorder::CollectEveryMs));
    const QCommandLineOption priority(
        QStringLiteral("priority"),
        QStringLiteral("The writer's scheduling priority: adaptive (as the program does: raised "
                       "while the writer waits for a processor and is not later for it), raised "
                       "(for the whole run) or normal (default adaptive)."),
        QStringLiteral("HOW"));
    const QCommandLineOption compare(
        QStringLiteral("compare-priority"),
        QStringLiteral("Run N rounds of the three ways, in turn, and print their ratios side by "
                       "side (the last line begins \"compare:\")."),
        QStringLiteral("N"));
    const QCommandLineOption ports(
        QStringLiteral("ports"),
        QStringLiteral("Send to N pseudo-terminals of its own at once, each port on a thread of "
                       "its own as norvane-send sends to several ports (1 to %1); a line per "
                       "port, and the pacing line for all of them.")
            .arg(MaxPorts),
        QStringLiteral("N"));
    const QCommandLineOption pipe(
        QStringLiteral("pipe"),
        QStringLiteral("Write into a pipe of its own instead of a pseudo-terminal: a write to a "
                       "pseudo-terminal wakes a kernel worker to pass the byte on, which may "
                       "preempt the writer; a pipe's, like a serial driver's, hands the byte "
                       "over and wakes nothing."));
    parser.addOptions({help, version, messages});
    line.addTo(parser);
    parser.addOptions({load, window, arrivals, priority, compare, ports, pipe});

    if (!parser.parse(arguments))
        return error(parser.errorText());
    const QString repeated = repeatedOption(parser);
    if (!repeated.isEmpty())
        return error(QStringLiteral("--%1 given more than once").arg(repeated));
    if (!parser.positionalArguments().isEmpty())
        return error(QStringLiteral("unexpected argument: %1")
                         .arg(parser.positionalArguments().constFirst()));

    BenchCommandLine result;
    if (parser.isSet(help)) {
        result.outcome = BenchCommandLine::Outcome::Help;
        // Parsed before the application object exists, which would give the program's name.
        result.message =
            parser.helpText().replace(QLatin1String("<executable_name>"), arguments.value(0));
        return result;
    }
    if (parser.isSet(version)) {
        result.outcome = BenchCommandLine::Outcome::Help;
        result.message = QStringLiteral("norvane-bench-pacing " NORVANE_VERSION);
        return result;
    }
    BenchOptions &options = result.options;
    LineOptions given;
    if (const std::optional<QString> wrong = line.read(parser, given))
        return error(*wrong);
    options.charDelay = given.charDelay.value_or(options.charDelay);
    options.recordDelay = given.recordDelay.value_or(options.recordDelay);
    options.terminator = given.terminator.value_or(options.terminator);
    options.port = given.port;
    if (parser.isSet(messages)) {
        options.messages = integer(parser.value(messages), 0, MessageCount);
        if (!options.messages)
            return error(QStringLiteral("--messages needs a count from 0 to %1").arg(MessageCount));
    }
    if (parser.isSet(load)) {
        const auto value = integer(parser.value(load), 0, MaxLoad);
        if (!value)
            return error(QStringLiteral("--load needs a count from 0 to %1").arg(MaxLoad));
        options.load = *value;
    }
    options.window = parser.isSet(window);
    options.timeArrivals = parser.isSet(arrivals);
    if (parser.isSet(priority)) {
        const QString how = parser.value(priority);
        if (how == QLatin1String("adaptive"))
            options.priority = SteadyPause::PriorityPolicy::WhenLate;
        else if (how == QLatin1String("raised"))
            options.priority = SteadyPause::PriorityPolicy::Raised;
        else if (how == QLatin1String("normal"))
            options.priority = SteadyPause::PriorityPolicy::Normal;
        else
            return error(QStringLiteral("--priority is one of adaptive, raised, normal"));
    }
    if (parser.isSet(compare)) {
        if (parser.isSet(priority))
            return error(QStringLiteral("--compare-priority runs all three priorities: no "
                                        "--priority with it"));
        options.compareRounds = integer(parser.value(compare), 1, MaxRounds);
        if (!options.compareRounds)
            return error(
                QStringLiteral("--compare-priority needs a count from 1 to %1").arg(MaxRounds));
    }
    options.pipe = parser.isSet(pipe);
    if (options.pipe && (options.port || parser.isSet(ports)))
        return error(QStringLiteral("--pipe writes into a pipe of its own for one download: no "
                                    "--port or --ports with it"));
    if (options.timeArrivals && options.port)
        return error(QStringLiteral("--arrivals times the reader of a pseudo-terminal of its own: "
                                    "no --port with it"));
    if (parser.isSet(ports)) {
        const auto value = integer(parser.value(ports), 1, MaxPorts);
        if (!value)
            return error(QStringLiteral("--ports needs a count from 1 to %1").arg(MaxPorts));
        if (options.port || options.window || options.compareRounds)
            return error(QStringLiteral("--ports sends to pseudo-terminals of its own: no --port, "
                                        "--window or --compare-priority with it"));
        options.ports = *value;
    }
    return result;
}

DownloadRequest benchRequest(const BenchOptions &options)
{
    DownloadRequest request;
    for (int n = 0; n < MessageCount; ++n)
        request.messages[std::size_t(n)] =
            QByteArray("MESSAGE ") + QByteArray::number(n).rightJustified(3, '0');
    if (options.messages) {
        request.selection = MessageSelection();
        for (int n = 0; n < *options.messages; ++n)
            request.selection->set(std::size_t(n));
    }
    request.terminator = options.terminator;
    request.charPause = pauseLength(options.charDelay);
    request.recordPause = pauseLength(options.recordDelay);
    return request;
}

} // namespace norvane
