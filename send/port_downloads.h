// SPDX-License-Identifier: MIT
#pragma once

#include "download_run.h"
#include "pause.h"
#include "serial_port.h"

#include <QElapsedTimer>
#include <QThread>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <vector>

namespace norvane {

// Downloads to several ports at once, one request per port. Every port has a thread of its own
// that runs the very download a single port gets (runDownload with its own port, pause and, when
// given, record writer), so each line is opened, drained and closed exactly as it would be alone,
// and a port that fails ends only its own download. The thread is a QThread because the Qt serial
// port wants an event dispatcher on the thread it lives on. What the threads publish (the number
// reached, whether they are done) may be read from any thread while they run.
class PortDownloads
{
public:
    // What a port's download goes through. Made on the port's thread before the download starts
    // (the pause's priority and timer settings are the thread's), and dropped there after it.
    struct Parts
    {
        std::unique_ptr<SerialPort> port;
        std::unique_ptr<Pause> pause;
        // Where the records go, when not through SendString on the port's thread; may be empty.
        RecordWriter *records = nullptr;
        // Runs on the port's thread after the download, before the parts go; may be empty.
        std::function<void()> afterRun;
    };
    using MakeParts = std::function<Parts(int port)>;

    // `stopRequested` is asked on the ports' threads, so it must be safe to call from any thread.
    PortDownloads(std::vector<DownloadRequest> requests, MakeParts makeParts,
                  StopCheck stopRequested = {});
    // Waits for the downloads that have started.
    ~PortDownloads();
    PortDownloads(const PortDownloads &) = delete;
    PortDownloads &operator=(const PortDownloads &) = delete;

    void start();
    // Waits at most `timeout` for every download to end; true when they all have.
    bool waitFor(std::chrono::milliseconds timeout);

    int count() const { return int(m_ports.size()); }
    // The message number port `port` has reached, -1 until its port is open.
    int reached(int port) const;
    bool isDone(int port) const;
    // How the download of port `port` ended, and how long it took from start(); valid once it is
    // done.
    const DownloadResult &result(int port) const;
    std::chrono::milliseconds took(int port) const;

private:
    struct Port : public ProgressView
    {
        void showNumber(int number) override { reached.store(number, std::memory_order_relaxed); }

        std::atomic<int> reached{-1};
        std::atomic<bool> done{false};
        DownloadRequest request;
        DownloadResult result;
        std::chrono::milliseconds took{0};
        std::unique_ptr<QThread> thread;
    };

    void run(int index);

    QElapsedTimer m_clock;
    MakeParts m_makeParts;
    StopCheck m_stopRequested;
    std::vector<std::unique_ptr<Port>> m_ports;
};

} // namespace norvane
