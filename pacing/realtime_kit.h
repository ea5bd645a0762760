// SPDX-License-Identifier: MIT
#pragma once

#include <QDBusConnection>
#include <QString>
#include <QtGlobal>

namespace norvane {

// Asks the RealtimeKit service on `bus`, the system bus (the desktop's way of granting real-time
// scheduling to programs of the logged-in user without a password) to run thread `threadId` of
// this process under its real-time policy at `priority`, or at the highest it grants if that is
// lower. Returns an empty string when the thread runs real-time now, otherwise why not ("no
// system bus", the service's answer, ...). Never waits longer than about a second per call to
// the bus.
//
// RealtimeKit grants only to a process whose real-time CPU limit (RLIMIT_RTTIME) is at most its
// own maximum, so that limit is lowered first, for good: the kernel kills a real-time thread that
// runs that long without sleeping. To keep that from ending the program, the soft limit is half
// the hard one and the signal it brings (SIGXCPU) puts the thread back to normal scheduling.
QString askRealtimeKit(const QDBusConnection &bus, qint64 threadId, int priority);

// The thread that askRealtimeKit raised, if any, no longer runs real-time: SIGXCPU leaves it
// alone from now on.
void forgetRealtimeKitThread();

} // namespace norvane
