// SPDX-License-Identifier: MIT
#pragma once

#include "send_options.h"

namespace norvane {

// norvane-send's exit statuses.
enum ExitStatus : int {
    ExitSent = 0,
    ExitFileError = 1,
    ExitUsageError = 2,
    ExitPortError = 3,
    ExitInterrupted = 130, // as a shell reports a program ended by Ctrl-C
};

// Reads the message file and sends it as `options` say, through the window's download run:
// to the port, or for a dry run to standard output. Reports on standard error and returns the
// exit status.
int sendMessageFile(const SendOptions &options);

} // namespace norvane
