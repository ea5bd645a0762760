// SPDX-License-Identifier: MIT
#pragma once

namespace norvane {

// Whoever watches a download: told of every message number it reaches.
class ProgressView
{
public:
    virtual ~ProgressView() = default;
    // The download has reached message `number` (0 to 999, every number in turn, sent or not)
    // and sends nothing of it before this returns: show it now.
    virtual void showNumber(int number) = 0;
};

} // namespace norvane
