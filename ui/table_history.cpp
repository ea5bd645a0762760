// SPDX-License-Identifier: MIT
#include "table_history.h"

#include "message_list.h"

#include <QUndoCommand>
#include <vector>

namespace norvane {

namespace {

// An entry a step changed and its other content: before the change while the step is done,
// after it while the step is undone.
struct EntryChange
{
    int number;
    QByteArray other;
};

// One step: the entries an operation changed. Undo and redo swap each with its other content. It
// is pushed once the operation has run, so its first redo finds the table already changed.
class TableStep : public QUndoCommand
{
public:
    TableStep(const QString &name, std::vector<EntryChange> changes, MessageTable &Messages,
              MessageList &list)
        : QUndoCommand(name), m_changes(std::move(changes)), m_messages(Messages), m_list(list)
    {
    }

    void undo() override { swapEntries(); }
    void redo() override
    {
        if (m_pushed) {
            m_pushed = false;
            return;
        }
        swapEntries();
    }

private:
    void swapEntries()
    {
        for (EntryChange &change : m_changes)
            m_messages[std::size_t(change.number)].swap(change.other);
        if (m_changes.size() == 1)
            m_list.lineChanged(m_changes.front().number);
        else
            m_list.linesChanged();
    }

    std::vector<EntryChange> m_changes;
    MessageTable &m_messages;
    MessageList &m_list;
    bool m_pushed = true;
};

} // namespace

TableHistory::TableHistory(MessageTable &Messages, MessageList &list)
    : m_messages(Messages), m_list(list)
{
    m_steps.setUndoLimit(StepLimit);
}

void TableHistory::record(const QString &name, const std::function<void()> &change)
{
    // The entries share their bytes with the table, so this copy costs no more than the array.
    const MessageTable before = m_messages;
    change();
    std::vector<EntryChange> changes;
    for (int n = 0; n < MessageCount; ++n) {
        if (m_messages[std::size_t(n)] != before[std::size_t(n)])
            changes.push_back({n, before[std::size_t(n)]});
    }
    if (!changes.empty())
        m_steps.push(new TableStep(name, std::move(changes), m_messages, m_list));
}

} // namespace norvane
