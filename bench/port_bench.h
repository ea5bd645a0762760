// SPDX-License-Identifier: MIT
#pragma once

#include "bench_options.h"

namespace norvane {

// Downloads to `options.ports` pseudo-terminals of its own at once, through the threads
// norvane-send runs for several ports (PortDownloads, a steady pause each), and prints a line per
// port, the writers' processor time and, last, the pacing line of all of them together: the
// slowest port's time and ratio, the shortest gap of any port, the processor time of the whole
// benchmark but its readers. Returns the exit status.
int benchPorts(const BenchOptions &options);

} // namespace norvane
