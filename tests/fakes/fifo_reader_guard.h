// SPDX-License-Identifier: MIT
#pragma once

#include <QFile>
#include <QString>

#include <chrono>
#include <fcntl.h>
#include <functional>
#include <future>
#include <unistd.h>

namespace norvane::test {

// Runs `work`, which may open `fifo` for reading, and returns whether it finished within ten
// seconds. A reader stuck waiting for a writer is then released, by a writer that comes and goes
// until `work` has ended, so a test that catches a hang still ends.
inline bool finishesWithoutWriter(const QString &fifo, const std::function<void()> &work)
{
    auto done = std::async(std::launch::async, work);
    if (done.wait_for(std::chrono::seconds(10)) == std::future_status::ready)
        return true;
    while (done.wait_for(std::chrono::milliseconds(100)) != std::future_status::ready) {
        const int fd = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0)
            ::close(fd);
    }
    return false;
}

} // namespace norvane::test
