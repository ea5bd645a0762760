// SPDX-License-Identifier: MIT
#pragma once

#include "download_plan.h"
#include "download_run.h"
#include "progress_view.h"

#include <QElapsedTimer>
#include <chrono>
#include <cstdio>

namespace norvane {

// One line of progress on a terminal, redrawn in place: the message being sent, a bar, how much
// of the download's bytes have gone, the time spent and the time still to go by the pauses.
QString progressLine(int number, int percent, std::chrono::milliseconds spent,
                     std::chrono::milliseconds left);

// Hours, minutes and seconds as a clock shows them: "0:07", "9:49", "1:02:03".
QString clockText(std::chrono::milliseconds time);

// The progress of a download drawn on a terminal (standard error): the line is drawn afresh when
// a message of the plan starts and wiped when the download ends.
class TerminalProgress : public ProgressView
{
public:
    // The time left comes from the plan and the request's pauses.
    TerminalProgress(const DownloadPlan &plan, const DownloadRequest &request, std::FILE *terminal);

    // The download starts: the time spent counts from now.
    void start() { m_clock.start(); }
    void showNumber(int number) override;
    // The download is over: the line goes.
    void finish();

private:
    const DownloadPlan &m_plan;
    std::chrono::milliseconds m_charPause;
    std::chrono::milliseconds m_recordPause;
    std::FILE *m_terminal;
    QElapsedTimer m_clock;
    bool m_drawn = false;
};

} // namespace norvane
