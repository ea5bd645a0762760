#pragma once

#include "message_selection.h"

#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <optional>
#include <qnamespace.h>

namespace norvane {

// What to send, where and how, as the command line asks for it.
struct SendOptions
{
    QString file;
    std::optional<MessageSelection> selection; // none: all messages
    Qt::CheckState cr = Qt::Checked;           // the terminator, as the "CR" and "LF" boxes give it
    Qt::CheckState lf = Qt::Unchecked;
    int portIndex = 0; // Com1..Com4 as 0..3, the devices as the settings file maps them
    QString device;    // a device or network address instead of Com1..Com4
    std::optional<qint16> charDelay; // none: from the settings file
    std::optional<qint16> recordDelay;
    bool dryRun = false;
    bool quiet = false;
};

struct SendCommandLine
{
    enum class Action { Send, ListPorts, Help, Version, UsageError };
    Action action = Action::Send;
    SendOptions options;
    QString text; // the help or version text, or what is wrong with the command line
};

// Reads norvane-send's command line (arguments[0] is the program name).
SendCommandLine parseSendCommandLine(const QStringList &arguments, const QString &version);

} // namespace norvane
