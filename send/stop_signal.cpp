#include "stop_signal.h"

#include <csignal>

namespace norvane {

namespace {

volatile std::sig_atomic_t stopSignal = 0;

} // namespace

extern "C" {

static void noteStopSignal(int signal)
{
    stopSignal = 1;
    // The next one takes its usual course: someone pressing Ctrl-C twice means it.
    std::signal(signal, SIG_DFL);
}
}

void catchStopSignals()
{
    std::signal(SIGINT, noteStopSignal);
    std::signal(SIGTERM, noteStopSignal);
}

bool stopSignalled()
{
    return stopSignal != 0;
}

} // namespace norvane
