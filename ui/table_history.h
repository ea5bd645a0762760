// SPDX-License-Identifier: MIT
#pragma once

#include "message_table.h"

#include <QString>
#include <QUndoStack>
#include <functional>

namespace norvane {

// The table's changes as steps that can be undone and redone, newest last. A step keeps only the
// entries it changed, each in the content the table does not hold at the moment, so a hundred
// steps that each replace the whole table take at most about twelve megabytes. Undoing or redoing a
// step puts those entries as they were before or after it and shows them in the list anew, keeping
// its selection, current line and top line.
class TableHistory
{
public:
    // The oldest steps are dropped beyond this many.
    static constexpr int StepLimit = 100;

    TableHistory(MessageTable &Messages, MessageList &list);

    // Runs `change`, an operation on the table and the list, and keeps what it changed in the
    // table as one step called `name`. A change that leaves every entry as it was makes no step.
    void record(const QString &name, const std::function<void()> &change);

    // The steps; undo(), redo(), the step names and the undo and redo actions come from here.
    QUndoStack &steps() { return m_steps; }

private:
    MessageTable &m_messages;
    MessageList &m_list;
    QUndoStack m_steps;
};

} // namespace norvane
