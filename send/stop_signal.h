// SPDX-License-Identifier: MIT
#pragma once

#include "serial_output.h"

namespace norvane {

// From now on Ctrl-C (SIGINT) and SIGTERM do not end the program but ask the download to stop:
// the first after the message being sent, the second after the character being written. A third
// ends the program at once, as usual.
void catchStopSignals();

// The stop those signals ask for so far.
StopRequest stopRequestedBySignal();

// Leaves those signals to the other threads: called on a thread of the download's own, so that
// the handler runs on the thread that asks for the stop, not in the middle of a pause here.
void leaveStopSignalsToOtherThreads();

} // namespace norvane
