// SPDX-License-Identifier: MIT
#include "stop_signal.h"

#include <csignal>

#ifdef Q_OS_UNIX
#include <pthread.h>
#endif

namespace norvane {

namespace {

volatile std::sig_atomic_t stopSignals = 0;

} // namespace

extern "C" {

static void noteStopSignal(int)
{
    stopSignals = stopSignals + 1;
    // After the second the next one takes its usual course: someone pressing Ctrl-C three times
    // means it.
    if (stopSignals >= 2) {
        std::signal(SIGINT, SIG_DFL);
        std::signal(SIGTERM, SIG_DFL);
    }
}
}

void catchStopSignals()
{
    std::signal(SIGINT, noteStopSignal);
    std::signal(SIGTERM, noteStopSignal);
}

StopRequest stopRequestedBySignal()
{
    const int count = stopSignals;
    return count == 0   ? StopRequest::None
           : count == 1 ? StopRequest::AfterMessage
                        : StopRequest::Now;
}

void leaveStopSignalsToOtherThreads()
{
#ifdef Q_OS_UNIX
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
#endif
}

} // namespace norvane
