// SPDX-License-Identifier: MIT
#pragma once

#include "download_plan.h"
#include "download_run.h"

#include <QElapsedTimer>
#include <QStringList>
#include <chrono>
#include <cstdio>

namespace norvane {

class PortDownloads;

// The progress of one download to several ports, drawn on a terminal (standard error): one line
// per port, named by its device, with the message being sent, a bar, the share of bytes sent, the
// time spent and the time left, or how the port's download ended. The lines are redrawn in place
// and wiped when the downloads end. They are cut to the terminal's width, and on a terminal with
// fewer rows than ports the last line counts the ports that do not fit.
class PortsProgress
{
public:
    PortsProgress(const DownloadPlan &plan, const DownloadRequest &request, QStringList names,
                  std::FILE *terminal);

    // The downloads start: the time spent counts from now.
    void start() { m_clock.start(); }
    void draw(const PortDownloads &downloads);
    // The downloads are over: the lines go.
    void finish();

private:
    // What the download of one port does: `reached` is the number it has reached, -1 while it
    // opens; `result` is how it ended, null while it runs.
    QString portState(int reached, const DownloadResult *result) const;

    const DownloadPlan &m_plan;
    std::chrono::milliseconds m_charPause;
    std::chrono::milliseconds m_recordPause;
    QStringList m_names;
    std::FILE *m_terminal;
    QElapsedTimer m_clock;
    int m_drawnLines = 0;
};

} // namespace norvane
