// SPDX-License-Identifier: MIT
#include "display_failure_guard.h"

#include <QString>
#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace norvane {

namespace {

// Qt may report from other threads it starts while the application is made; they all meet here.
std::mutex guardMutex;
DisplayFailureGuard *activeGuard = nullptr;
QtMessageHandler handlerBefore = nullptr;

// What Qt's platform plug-ins say when the display named by the environment cannot be reached
// (or none is named): X11 through xcb, and Wayland.
bool saysDisplayUnreachable(const QMessageLogContext &context, const QString &text)
{
    const QByteArray category(context.category ? context.category : "");
    return (category == "qt.qpa.xcb" &&
            text.startsWith(QLatin1String("could not connect to display"))) ||
           (category.startsWith("qt.qpa.wayland") && text.contains(QLatin1String("wl_display")));
}

const char *orNull(const QByteArray &text)
{
    return text.isNull() ? nullptr : text.constData();
}

} // namespace

const char *const DisplayFailureGuard::NoDisplayLine =
    "norvane: no display found; run it on a desktop, or under xvfb-run for automation\n";

DisplayFailureGuard::DisplayFailureGuard()
{
    const std::lock_guard<std::mutex> lock(guardMutex);
    activeGuard = this;
    // Qt hands back its default handler when none of ours was installed before.
    handlerBefore = qInstallMessageHandler(handleMessage);
}

DisplayFailureGuard::~DisplayFailureGuard()
{
    std::vector<HeldMessage> held;
    {
        const std::lock_guard<std::mutex> lock(guardMutex);
        qInstallMessageHandler(handlerBefore);
        activeGuard = nullptr;
        held.swap(m_held);
    }
    for (const HeldMessage &message : held)
        handOn(message);
}

void DisplayFailureGuard::handleMessage(QtMsgType type, const QMessageLogContext &context,
                                        const QString &text)
{
    std::unique_lock<std::mutex> lock(guardMutex);
    if (!activeGuard) {
        // A message on its way while the guard went.
        lock.unlock();
        handlerBefore(type, context, text);
        return;
    }
    DisplayFailureGuard &guard = *activeGuard;
    if (type != QtFatalMsg) {
        guard.m_displayUnreachable =
            guard.m_displayUnreachable || saysDisplayUnreachable(context, text);
        guard.m_held.push_back(
            {type, context.category, context.file, context.function, context.line, text});
        return;
    }
    if (guard.m_displayUnreachable) {
        std::fputs(NoDisplayLine, stderr);
        std::fflush(stderr);
        // Qt is half way through making the application; nothing of it is left to clean up.
        std::_Exit(1);
    }
    // Any other fatal error: what Qt said so far, then the error itself, the way Qt shows it.
    for (const HeldMessage &message : guard.m_held)
        handOn(message);
    guard.m_held.clear();
    handlerBefore(type, context, text);
}

void DisplayFailureGuard::handOn(const HeldMessage &message)
{
    const QMessageLogContext context(orNull(message.file), message.line, orNull(message.function),
                                     orNull(message.category));
    handlerBefore(message.type, context, message.text);
}

} // namespace norvane
