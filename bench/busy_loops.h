// SPDX-License-Identifier: MIT
#pragma once

#include <QVector>
#include <sys/types.h>

namespace norvane {

// Child processes that do nothing but count, at normal priority, as a compiler keeps a machine's
// cores busy. Being other processes, their processor time is not the benchmark's own. They end
// with stop(), with this object, or with the benchmark should it die first.
class BusyLoops
{
public:
    BusyLoops() = default;
    ~BusyLoops();
    BusyLoops(const BusyLoops &) = delete;
    BusyLoops &operator=(const BusyLoops &) = delete;

    // Starts `count` loops; false if one could not be started (those started keep running).
    bool start(int count);
    void stop();

private:
    QVector<pid_t> m_children;
};

} // namespace norvane
