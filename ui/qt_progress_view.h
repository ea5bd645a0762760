// SPDX-License-Identifier: MIT
#pragma once

#include "progress_view.h"

#include <memory>

namespace norvane {

class ProgressWindow;

// The progress window as a download's progress view. The window is created, hidden, by the
// first start() and then kept (hidden between downloads) until the view goes.
class QtProgressView : public ProgressView
{
public:
    QtProgressView();
    ~QtProgressView() override;

    // Sets the bar to 0 before a download (the caption keeps the last number until the first
    // one of this download is shown).
    void start();
    // Shows the window and returns once it is on the screen (within a second at most), so that
    // every number shown after is painted where it can be seen.
    void show();
    void hide();
    // Sets the bar and the label to `number` and repaints the window at once.
    void showNumber(int number) override;

    // The window, or nullptr while no download has created it.
    ProgressWindow *window() const { return m_window.get(); }

private:
    ProgressWindow &ensureWindow();

    std::unique_ptr<ProgressWindow> m_window;
};

} // namespace norvane
