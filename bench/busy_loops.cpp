// SPDX-License-Identifier: MIT
#include "busy_loops.h"

#include <csignal>
#include <sched.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace norvane {

BusyLoops::~BusyLoops()
{
    stop();
}

bool BusyLoops::start(int count)
{
    for (int i = 0; i < count; ++i) {
        const pid_t child = fork();
        if (child < 0)
            return false;
        if (child == 0) {
            // Only what is safe after fork() in a program with threads: system calls and a loop.
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            const sched_param normal{};
            sched_setscheduler(0, SCHED_OTHER, &normal);
            setpriority(PRIO_PROCESS, 0, 0);
            for (volatile unsigned long n = 0;; n = n + 1) {
            }
        }
        m_children.append(child);
    }
    return true;
}

void BusyLoops::stop()
{
    for (const pid_t child : m_children)
        kill(child, SIGKILL);
    for (const pid_t child : m_children)
        waitpid(child, nullptr, 0);
    m_children.clear();
}

} // namespace norvane
