// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <optional>

namespace norvane {

// The processor time of the whole benchmark so far, and of the calling thread.
std::chrono::microseconds processCpuTime();
std::chrono::nanoseconds threadCpuTime();

// The processor time the host of a virtual machine took from it (steal time), all processors
// together, or none where the system does not say.
std::optional<std::chrono::milliseconds> stolenTime();

} // namespace norvane
