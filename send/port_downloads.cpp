// SPDX-License-Identifier: MIT
#include "port_downloads.h"

#include "stop_signal.h"

#include <QDeadlineTimer>

namespace norvane {

PortDownloads::PortDownloads(std::vector<DownloadRequest> requests, MakeParts makeParts,
                             StopCheck stopRequested)
    : m_makeParts(std::move(makeParts)), m_stopRequested(std::move(stopRequested))
{
    for (DownloadRequest &request : requests) {
        m_ports.push_back(std::make_unique<Port>());
        m_ports.back()->request = std::move(request);
    }
}

PortDownloads::~PortDownloads()
{
    for (const auto &port : m_ports) {
        if (port->thread)
            port->thread->wait();
    }
}

void PortDownloads::start()
{
    m_clock.start();
    for (int i = 0; i < count(); ++i) {
        Port &port = *m_ports[std::size_t(i)];
        port.thread.reset(QThread::create([this, i] { run(i); }));
        port.thread->start();
    }
}

bool PortDownloads::waitFor(std::chrono::milliseconds timeout)
{
    const QDeadlineTimer deadline(timeout);
    for (const auto &port : m_ports) {
        if (port->thread && !port->thread->wait(deadline))
            return false;
    }
    return true;
}

int PortDownloads::reached(int port) const
{
    return m_ports[std::size_t(port)]->reached.load(std::memory_order_relaxed);
}

bool PortDownloads::isDone(int port) const
{
    return m_ports[std::size_t(port)]->done.load(std::memory_order_acquire);
}

const DownloadResult &PortDownloads::result(int port) const
{
    return m_ports[std::size_t(port)]->result;
}

std::chrono::milliseconds PortDownloads::took(int port) const
{
    return m_ports[std::size_t(port)]->took;
}

void PortDownloads::run(int index)
{
    // Ctrl-C and SIGTERM are for the thread that started the downloads.
    leaveStopSignalsToOtherThreads();
    Port &port = *m_ports[std::size_t(index)];
    {
        Parts parts = m_makeParts(index);
        port.result = runDownload(port.request, *parts.port, *parts.pause, port, m_stopRequested,
                                  parts.records);
        port.took = std::chrono::milliseconds(m_clock.elapsed());
        if (parts.afterRun)
            parts.afterRun();
    }
    port.done.store(true, std::memory_order_release);
}

} // namespace norvane
