// SPDX-License-Identifier: MIT
#pragma once

#include "port_discovery.h"

#include <QString>
#include <vector>

namespace norvane {

// What --list-ports prints: every port with what the system tells about it, then a line for
// setup.ini that maps Com1 to Com4 to the ports, by their stable names where they have one and
// those ports first (they are the USB adapters a display hangs on); or, with no ports, says so.
QString portListingText(const std::vector<DiscoveredPort> &ports);

} // namespace norvane
