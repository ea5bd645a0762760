// SPDX-License-Identifier: MIT
#pragma once

#include "line_options.h"
#include "message_table.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace norvane {

// What to send, where and how, as the command line asks for it.
struct SendOptions
{
    QString file;
    std::optional<MessageSelection> selection; // none: all messages
    LineOptions line;    // terminator, pauses and ports; what is not given comes from setup.ini
    QString changedFrom; // send only the messages that differ from this file's; empty: no such file
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
