// SPDX-License-Identifier: MIT
#pragma once

#include "download_plan.h"
#include "download_run.h"
#include "port_settings.h"
#include "send_options.h"

#include <QList>
#include <optional>

namespace norvane {

// The device a --port stands for: its own, or for COM1 to COM4 the one `devices` maps it to.
QString portDevice(const PortChoice &choice, const PortDevices &devices);

// What is wrong when two of `ports` are the same device (as `devices` maps COM1 to COM4, with
// symbolic links followed and network addresses compared by host and port): two downloads would
// mix their characters on one line. Nothing when all differ.
std::optional<QString> samePortTwice(const QList<PortChoice> &ports, const PortDevices &devices);

// Sends `request` to every port of `options` at once, each port on its own as a single run sends
// to it. On a terminal one line per port shows its progress; at the end one line per port tells
// how its download ended. Returns the exit status: sent to all, a port failed, or interrupted.
int sendToPorts(const SendOptions &options, const DownloadRequest &request,
                const DownloadPlan &plan, const PortDevices &devices);

} // namespace norvane
