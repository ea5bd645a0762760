// SPDX-License-Identifier: MIT
#pragma once

#include "download_run.h"
#include "send_options.h"

#include <optional>

namespace norvane {

// With --changed-from: reads the file last sent as "Load" reads it and narrows the request's
// selection (the whole table, or what --select chose) to the messages the display would show
// differently, telling how many differ. Returns the exit status when nothing is to be sent: the
// file cannot be read (told as "Load" tells it), or no message differs. Without it: nothing.
std::optional<int> selectChangedMessages(const SendOptions &options, DownloadRequest &request);

} // namespace norvane
