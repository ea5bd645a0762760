// SPDX-License-Identifier: MIT
#pragma once

#include "message_table.h"

#include <QString>
#include <optional>

namespace norvane {

// Reads a list of message numbers and ranges such as "0-9,15,20-22": numbers 0 to 999, a range
// from its lower to its higher end, both included; blanks around the items are allowed, and a
// number named twice counts once. Nothing when the list is empty or any item is not of that form.
std::optional<MessageSelection> parseMessageSelection(const QString &list);

// The selection written as parseMessageSelection reads it, in ascending order with runs of
// numbers as ranges: "0-9,15,20-22". Empty when nothing is selected.
QString selectionText(const MessageSelection &selection);

// The messages that the display would show differently: those whose text record (the entry
// filled out or cut to 32 characters) is not the same in `before` and `after`.
MessageSelection changedMessages(const MessageTable &before, const MessageTable &after);

} // namespace norvane
