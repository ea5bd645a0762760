#pragma once

#include "download_plan.h"
#include "progress_view.h"

#include <QElapsedTimer>
#include <cstdio>

namespace norvane {

// One line of progress on a terminal, redrawn in place: the message being sent, a bar, how much
// of the download's bytes have gone, the time spent and the time still to go by the pauses.
QString progressLine(int number, int percent, qint64 spentMs, qint64 leftMs);

// Hours, minutes and seconds as a clock shows them: "0:07", "9:49", "1:02:03".
QString clockText(qint64 ms);

// The progress of a download drawn on a terminal (standard error): the line is drawn afresh when
// a message of the plan starts and wiped when the download ends.
class TerminalProgress : public ProgressView
{
public:
    TerminalProgress(const DownloadPlan &plan, qint16 charDelay, qint16 recordDelay,
                     std::FILE *terminal);

    void setValue(float) override {}
    void setCaption(const QString &text) override { m_number = text.toInt(); }
    void refresh() override;
    void show() override { m_clock.start(); }
    void hide() override;

private:
    const DownloadPlan &m_plan;
    qint16 m_charDelay;
    qint16 m_recordDelay;
    std::FILE *m_terminal;
    QElapsedTimer m_clock;
    int m_number = 0;
    bool m_drawn = false;
};

} // namespace norvane
