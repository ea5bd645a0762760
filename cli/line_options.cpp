// SPDX-License-Identifier: MIT
#include "line_options.h"

#include "delay_settings.h"
#include "network_address.h"
#include "port_settings.h"

#include <QCommandLineParser>
#include <QRegularExpression>
#include <QSet>
#include <limits>

namespace norvane {

LineOptionSet::LineOptionSet(const LineOptionHelp &help)
    : m_terminator(QStringLiteral("terminator"),
                   QStringLiteral("End every record with cr, lf, crlf or none (default cr)."),
                   QStringLiteral("KIND")),
      m_charDelay(QStringLiteral("char-delay"),
                  QStringLiteral("Pause after every character, 0 to 32767 (%1).")
                      .arg(help.delayDefaults.arg(DefaultCharDelay)),
                  QStringLiteral("MS")),
      m_recordDelay(QStringLiteral("record-delay"),
                    QStringLiteral("Pause after every message, 0 to 32767 (%1).")
                        .arg(help.delayDefaults.arg(DefaultRecordDelay)),
                    QStringLiteral("MS")),
      m_port(QStringLiteral("port"), help.port, QStringLiteral("PORT"))
{
}

void LineOptionSet::addTo(QCommandLineParser &parser) const
{
    parser.addOptions({m_terminator, m_charDelay, m_recordDelay, m_port});
}

std::optional<QString> LineOptionSet::read(const QCommandLineParser &parser,
                                           LineOptions &options) const
{
    if (parser.isSet(m_terminator)) {
        options.terminator = terminatorNamed(parser.value(m_terminator));
        if (!options.terminator)
            return QStringLiteral("--terminator is one of cr, lf, crlf, none");
    }
    for (const auto &[option, value] : {std::pair{&m_charDelay, &options.charDelay},
                                        std::pair{&m_recordDelay, &options.recordDelay}}) {
        if (!parser.isSet(*option))
            continue;
        *value = pauseMilliseconds(parser.value(*option));
        if (!*value)
            return QStringLiteral("--%1 needs milliseconds from 0 to 32767")
                .arg(option->names().constFirst());
    }
    for (const QString &name : parser.values(m_port)) {
        QString error;
        const std::optional<PortChoice> port = portNamed(name, error);
        if (!port)
            return error;
        options.ports.append(*port);
    }
    if (!options.ports.isEmpty())
        options.port = options.ports.constFirst();
    return std::nullopt;
}

std::optional<QByteArray> terminatorNamed(const QString &name)
{
    const QString kind = name.toLower();
    if (kind != QLatin1String("cr") && kind != QLatin1String("lf") &&
        kind != QLatin1String("crlf") && kind != QLatin1String("none"))
        return std::nullopt;
    QByteArray terminator;
    if (kind.startsWith(QLatin1String("cr")))
        terminator += '\r';
    if (kind.endsWith(QLatin1String("lf")))
        terminator += '\n';
    return terminator;
}

std::optional<qint16> pauseMilliseconds(const QString &text)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,5}$"));
    const QString trimmed = text.trimmed();
    if (!digits.match(trimmed).hasMatch())
        return std::nullopt;
    const int value = trimmed.toInt();
    if (value > std::numeric_limits<qint16>::max())
        return std::nullopt;
    return qint16(value);
}

std::optional<PortChoice> portNamed(const QString &name, QString &error)
{
    if (name.isEmpty()) {
        error = QStringLiteral("--port needs COM1 to COM4, a device or a network address");
        return std::nullopt;
    }
    static const QRegularExpression com(QStringLiteral("^COM([0-9]+)$"),
                                        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = com.match(name);
    if (match.hasMatch()) {
        const int number = match.captured(1).toInt();
        if (number < 1 || number > PortCount) {
            error = QStringLiteral("--port %1: the ports are COM1 to COM4").arg(name);
            return std::nullopt;
        }
        return PortChoice{qint16(number), QString()};
    }
    if (isNetworkAddress(name) && !parseNetworkAddress(name)) {
        error = QStringLiteral("--port %1 is not a network address of the form tcp://HOST:PORT "
                               "or rfc2217://HOST:PORT (PORT 1 to 65535, no user name)")
                    .arg(name);
        return std::nullopt;
    }
    return PortChoice{1, name};
}

QString repeatedOption(const QCommandLineParser &parser, const QStringList &mayRepeat)
{
    QSet<QString> seen;
    for (const QString &name : parser.optionNames()) {
        if (seen.contains(name) && !mayRepeat.contains(name))
            return name;
        seen.insert(name);
    }
    return QString();
}

} // namespace norvane
