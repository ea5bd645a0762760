#pragma once

#include "progress_view.h"

#include <memory>

namespace norvane {

class ShowCompleting;

// The download's view of the progress window. The window is created, hidden, on first use and
// then kept (hidden between downloads) until the view goes.
class ProgressWindowView : public ProgressView
{
public:
    ProgressWindowView();
    ~ProgressWindowView() override;

    void setValue(float value) override;
    void setCaption(const QString &text) override;
    void refresh() override;
    void show() override;
    void hide() override;

    // The window, or nullptr while no download has created it.
    ShowCompleting *window() const { return m_window.get(); }

private:
    ShowCompleting &ensureWindow();

    std::unique_ptr<ShowCompleting> m_window;
};

} // namespace norvane
