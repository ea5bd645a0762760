// SPDX-License-Identifier: MIT
// norvane-send: sends a message file to the display from the command line, through the same
// download as the window's, for scripts and machines without a screen.

#include "port_discovery.h"
#include "port_listing_text.h"
#include "send_command.h"
#include "send_options.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char **argv)
{
    using namespace norvane;
    QCoreApplication app(argc, argv);
    const SendCommandLine commandLine =
        parseSendCommandLine(QCoreApplication::arguments(), QStringLiteral(NORVANE_VERSION));
    switch (commandLine.action) {
    case SendCommandLine::Action::Help:
    case SendCommandLine::Action::Version:
        std::fputs((commandLine.text + QLatin1Char('\n')).toLocal8Bit().constData(), stdout);
        return ExitSent;
    case SendCommandLine::Action::UsageError:
        std::fputs(QStringLiteral("norvane-send: %1\nTry 'norvane-send --help'.\n")
                       .arg(commandLine.text)
                       .toLocal8Bit()
                       .constData(),
                   stderr);
        return ExitUsageError;
    case SendCommandLine::Action::ListPorts:
        std::fputs(portListingText(discoverSerialPorts()).toLocal8Bit().constData(), stdout);
        return ExitSent;
    case SendCommandLine::Action::Send:
        break;
    }
    return sendMessageFile(commandLine.options);
}
