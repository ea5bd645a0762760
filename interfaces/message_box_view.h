// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

namespace norvane {

// A modal message box with the given text, one OK button, no icon, captioned "Norvane".
// Returns when the user has confirmed it.
class MessageBoxView
{
public:
    virtual ~MessageBoxView() = default;
    virtual void showMessage(const QString &text) = 0;
};

} // namespace norvane
