#pragma once

#include "message_box_view.h"
#include "progress_view.h"

#include <QString>

namespace norvane {

// For a download run without windows (the command-line sender, the benchmark): the progress
// nobody watches, and the message a window would show, kept for the caller to print or check.
class NoProgress : public ProgressView
{
public:
    void setValue(float) override {}
    void setCaption(const QString &) override {}
    void refresh() override {}
    void show() override {}
    void hide() override {}
};

class KeptMessage : public MessageBoxView
{
public:
    void showMessage(const QString &text) override { message = text; }
    QString message;
};

} // namespace norvane
