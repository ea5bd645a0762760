// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <optional>

namespace norvane {

// The file dialog shared by "Load" and "Save As". It remembers the name chosen last and offers
// it as the starting name next time.
class FileDialog
{
public:
    virtual ~FileDialog() = default;
    // Shows the dialog in open / save mode. Returns the chosen full file name (possibly empty),
    // or nullopt when the user cancelled or the dialog failed.
    virtual std::optional<QString> showOpen() = 0;
    virtual std::optional<QString> showSave() = 0;
};

} // namespace norvane
