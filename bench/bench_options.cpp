#include "bench_options.h"

#include "message_table.h"

#include <QCommandLineParser>
#include <limits>

namespace norvane {

namespace {

constexpr int MaxLoad = 64;

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
    const QCommandLineOption charDelay(QStringLiteral("char-delay"),
                                       QStringLiteral("Pause after each character (default 10)."),
                                       QStringLiteral("MS"));
    const QCommandLineOption recordDelay(QStringLiteral("record-delay"),
                                         QStringLiteral("Pause after each message (default 200)."),
                                         QStringLiteral("MS"));
    const QCommandLineOption messages(QStringLiteral("messages"),
                                      QStringLiteral("Send messages 0..N-1 as a selection "
                                                     "(default: send all 1000)."),
                                      QStringLiteral("N"));
    const QCommandLineOption terminator(QStringLiteral("terminator"),
                                        QStringLiteral("none, cr, lf or crlf (default cr)."),
                                        QStringLiteral("KIND"));
    const QCommandLineOption port(QStringLiteral("port"),
                                  QStringLiteral("Write to DEVICE instead of a pseudo-terminal "
                                                 "of our own."),
                                  QStringLiteral("DEVICE"));
    const QCommandLineOption load(QStringLiteral("load"),
                                  QStringLiteral("Keep N busy loops of normal priority running "
                                                 "during the measurement (default 0)."),
                                  QStringLiteral("N"));
    const QCommandLineOption window(QStringLiteral("window"),
                                    QStringLiteral("Download through the main window: select the "
                                                   "messages and click \"Send selection\" (or "
                                                   "\"Send all\")."));
    const QCommandLineOption normalPriority(QStringLiteral("normal-priority"),
                                            QStringLiteral("Do not raise the writer's scheduling "
                                                           "priority (to compare)."));
    parser.addOptions({help, version, charDelay, recordDelay, messages, terminator, port, load,
                       window, normalPriority});

    if (!parser.parse(arguments))
        return error(parser.errorText());
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
    constexpr int low = std::numeric_limits<qint16>::min();
    constexpr int high = std::numeric_limits<qint16>::max();
    BenchOptions &options = result.options;
    if (parser.isSet(charDelay)) {
        const auto value = integer(parser.value(charDelay), low, high);
        if (!value)
            return error(
                QStringLiteral("--char-delay needs milliseconds from %1 to %2").arg(low).arg(high));
        options.charDelay = qint16(*value);
    }
    if (parser.isSet(recordDelay)) {
        const auto value = integer(parser.value(recordDelay), low, high);
        if (!value)
            return error(QStringLiteral("--record-delay needs milliseconds from %1 to %2")
                             .arg(low)
                             .arg(high));
        options.recordDelay = qint16(*value);
    }
    if (parser.isSet(messages)) {
        options.messages = integer(parser.value(messages), 0, MessageCount);
        if (!options.messages)
            return error(QStringLiteral("--messages needs a count from 0 to %1").arg(MessageCount));
    }
    if (parser.isSet(terminator)) {
        const QString kind = parser.value(terminator);
        if (kind == QLatin1String("none") || kind == QLatin1String("lf"))
            options.cr = Qt::Unchecked;
        else if (kind != QLatin1String("cr") && kind != QLatin1String("crlf"))
            return error(QStringLiteral("--terminator is one of none, cr, lf, crlf"));
        options.lf = kind == QLatin1String("lf") || kind == QLatin1String("crlf") ? Qt::Checked
                                                                                  : Qt::Unchecked;
    }
    if (parser.isSet(load)) {
        const auto value = integer(parser.value(load), 0, MaxLoad);
        if (!value)
            return error(QStringLiteral("--load needs a count from 0 to %1").arg(MaxLoad));
        options.load = *value;
    }
    options.window = parser.isSet(window);
    options.normalPriority = parser.isSet(normalPriority);
    if (parser.isSet(port)) {
        options.port = parser.value(port);
        if (options.port.isEmpty())
            return error(QStringLiteral("--port needs a device"));
    }
    return result;
}

} // namespace norvane
