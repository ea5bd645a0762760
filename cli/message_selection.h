#pragma once

#include "message_table.h"

#include <QString>
#include <optional>

namespace norvane {

// Reads a list of message numbers and ranges such as "0-9,15,20-22": numbers 0 to 999, a range
// from its lower to its higher end, both included; blanks around the items are allowed, and a
// number named twice counts once. Nothing when the list is empty or any item is not of that form.
std::optional<MessageSelection> parseMessageSelection(const QString &list);

} // namespace norvane
