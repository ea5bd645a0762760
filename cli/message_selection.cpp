// SPDX-License-Identifier: MIT
#include "message_selection.h"

#include "fixed_width.h"

#include <QStringList>

namespace norvane {

namespace {

// A message number written in decimal digits only (no sign, no blanks inside).
std::optional<int> messageNumber(const QString &text)
{
    const QString digits = text.trimmed();
    if (digits.isEmpty())
        return std::nullopt;
    for (const QChar c : digits) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
    }
    bool ok = false;
    const int number = digits.toInt(&ok);
    if (!ok || number >= MessageCount)
        return std::nullopt;
    return number;
}

} // namespace

std::optional<MessageSelection> parseMessageSelection(const QString &list)
{
    MessageSelection selection;
    for (const QString &item : list.split(QLatin1Char(','))) {
        const QStringList ends = item.split(QLatin1Char('-'));
        if (ends.size() > 2)
            return std::nullopt;
        const std::optional<int> first = messageNumber(ends.constFirst());
        const std::optional<int> last = messageNumber(ends.constLast());
        if (!first || !last || *first > *last)
            return std::nullopt;
        for (int number = *first; number <= *last; ++number)
            selection.set(std::size_t(number));
    }
    return selection;
}

QString selectionText(const MessageSelection &selection)
{
    QStringList items;
    for (int first = 0; first < MessageCount; ++first) {
        if (!selection.test(std::size_t(first)))
            continue;
        int last = first;
        while (last + 1 < MessageCount && selection.test(std::size_t(last) + 1))
            ++last;
        items << (first == last ? QString::number(first)
                                : QStringLiteral("%1-%2").arg(first).arg(last));
        first = last;
    }
    return items.join(QLatin1Char(','));
}

MessageSelection changedMessages(const MessageTable &before, const MessageTable &after)
{
    MessageSelection changed;
    for (std::size_t j = 0; j < before.size(); ++j)
        changed[j] = fixedWidth(before[j], EntryLength) != fixedWidth(after[j], EntryLength);
    return changed;
}

} // namespace norvane
