#pragma once

#include <QString>

namespace norvane {

// The progress window as a download drives it. The first call of setValue() creates it, hidden.
class ProgressView
{
public:
    virtual ~ProgressView() = default;
    virtual void setValue(float value) = 0;           // bar value, 0..1000
    virtual void setCaption(const QString &text) = 0; // the number label
    virtual void refresh() = 0;                       // repaint the whole window now
    virtual void show() = 0;
    virtual void hide() = 0;
};

} // namespace norvane
