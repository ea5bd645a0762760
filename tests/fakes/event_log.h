// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>

namespace norvane::test {

// One ordered record of what the fakes were asked to do, shared by all fakes of a test so that
// the order of steps across windows, port and pauses can be checked.
struct EventLog
{
    QStringList events;
    void add(const QString &event) { events.append(event); }
    // Index of the first event equal to `event`, or -1.
    int indexOf(const QString &event) const { return events.indexOf(event); }
    int count(const QString &event) const { return events.count(event); }
};

} // namespace norvane::test
