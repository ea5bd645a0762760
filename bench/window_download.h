// SPDX-License-Identifier: MIT
#pragma once

#include "bench_options.h"
#include "main_window.h"
#include "pipe_line.h"
#include "timed_pause.h"
#include "timed_serial_port.h"

#include <QTemporaryDir>
#include <memory>

namespace norvane {

class KeptMessage;

// The main window as the user has it: its own pause and progress window, its port Com1 mapped to
// `device` by a settings file with the benchmark's pauses, the check boxes set from the options
// and lines 0..N-1 selected. Only the port and the pause are wrapped, to time the writes and the
// pauses' ends, and the message box keeps its text instead of waiting for a click.
class WindowDownload
{
public:
    // The window's own pause follows `priority`; with a `pipe`, the window writes into it instead
    // of opening `device`.
    WindowDownload(const BenchOptions &options, const QString &device,
                   SteadyPause::PriorityPolicy priority, const PipeLine *pipe = nullptr);
    ~WindowDownload();
    WindowDownload(const WindowDownload &) = delete;
    WindowDownload &operator=(const WindowDownload &) = delete;

    // False if the window could not be set up (the settings file could not be written).
    bool isReady() const { return m_window != nullptr; }
    // Clicks "Send selection" (or "Send all" without --messages); returns once the download is
    // over. True when the window reported no error.
    bool click();
    TimedSerialPort &port() const { return *m_port; }
    TimedPause &pause() const { return *m_pause; }
    QString message() const;

private:
    const BenchOptions &m_options;
    QTemporaryDir m_dir;
    std::unique_ptr<MainWindow> m_window;
    TimedSerialPort *m_port = nullptr;
    TimedPause *m_pause = nullptr;
    KeptMessage *m_messageBox = nullptr;
};

} // namespace norvane
