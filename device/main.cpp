// SPDX-License-Identifier: MIT
// norvane-device: a virtual message display on a pseudo-terminal, for trying the tool (and
// testing it) without the hardware.

#include "device_options.h"
#include "device_session.h"
#include "print_line.h"
#include "pseudo_terminal.h"
#include "tcp_device_server.h"

#include <QString>
#include <QStringList>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

using norvane::printLine;

namespace {

int stopPipe[2] = {-1, -1};

extern "C" void onStopSignal(int)
{
    const int savedErrno = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(stopPipe[1], &byte, 1);
    errno = savedErrno;
}

// SIGINT and SIGTERM make the stop pipe readable, which ends the session's poll. SIGPIPE is
// ignored: a reader of our output that goes away (`norvane-device | head`) must not end the
// device, which keeps decoding and still saves what it received.
bool installSignals()
{
    if (::pipe(stopPipe) != 0)
        return false;
    for (int fd : stopPipe) {
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    }
    struct sigaction action = {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    struct sigaction ignore = {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    return ::sigaction(SIGINT, &action, nullptr) == 0 &&
           ::sigaction(SIGTERM, &action, nullptr) == 0 &&
           ::sigaction(SIGPIPE, &ignore, nullptr) == 0;
}

} // namespace

int main(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));

    const norvane::DeviceCommandLine commandLine = norvane::parseDeviceCommandLine(arguments);
    switch (commandLine.outcome) {
    case norvane::DeviceCommandLine::Outcome::Help:
        printLine(stdout, commandLine.message);
        return 0;
    case norvane::DeviceCommandLine::Outcome::Error:
        printLine(stderr, QStringLiteral("norvane-device: ") + commandLine.message);
        return 2;
    case norvane::DeviceCommandLine::Outcome::Run:
        break;
    }

    if (!installSignals()) {
        printLine(stderr, QStringLiteral("norvane-device: cannot install signal handlers: %1")
                              .arg(QString::fromLocal8Bit(std::strerror(errno))));
        return 1;
    }
    if (!commandLine.options.tcpAddress.isEmpty())
        return norvane::runTcpDevice(commandLine.options, stopPipe[0], printLine);

    norvane::PseudoTerminal terminal;
    if (!terminal.open()) {
        printLine(stderr, QStringLiteral("norvane-device: cannot create a pseudo-terminal: ") +
                              terminal.errorString());
        return 1;
    }
    printLine(stdout, QStringLiteral("norvane-device listening on %1").arg(terminal.slavePath()));
    printLine(stdout, QStringLiteral("[Ports],%1").arg(terminal.slavePath()));

    norvane::DeviceSession session(commandLine.options,
                                   [](const QString &line) { printLine(stdout, line); });
    int status = 0;
    if (session.run(terminal.masterFd(), stopPipe[0]) == norvane::DeviceSession::End::ReadError) {
        printLine(stderr, QStringLiteral("norvane-device: ") + session.errorString());
        status = 1;
    }
    session.finish();
    if (!commandLine.options.saveFile.isEmpty() && !session.save(commandLine.options.saveFile)) {
        printLine(
            stderr,
            QStringLiteral("norvane-device: cannot write %1").arg(commandLine.options.saveFile));
        status = 1;
    }
    printLine(stdout, session.summaryLine());
    return status;
}
