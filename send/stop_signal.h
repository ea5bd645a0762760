#pragma once

namespace norvane {

// From now on Ctrl-C (SIGINT) and SIGTERM do not end the program but ask the download to stop;
// a second one ends the program at once, as usual.
void catchStopSignals();

// Whether one of those signals has come.
bool stopSignalled();

} // namespace norvane
