#include "display_failure_guard.h"

#include <QString>
#include <cstdio>
#include <cstdlib>

namespace norvane {

namespace {

DisplayFailureGuard *activeGuard = nullptr;

// What Qt's platform plug-ins say when the display named by the environment cannot be reached
// (or none is named): X11 through xcb, and Wayland.
bool saysDisplayUnreachable(const QMessageLogContext &context, const QString &text)
{
    const QByteArray category(context.category ? context.category : "");
    return (category == "qt.qpa.xcb" &&
            text.startsWith(QLatin1String("could not connect to display"))) ||
           (category.startsWith("qt.qpa.wayland") && text.contains(QLatin1String("wl_display")));
}

} // namespace

const char *const DisplayFailureGuard::NoDisplayLine =
    "norvane: no display found; run it on a desktop, or under xvfb-run for automation\n";

DisplayFailureGuard::DisplayFailureGuard()
{
    activeGuard = this;
    // Qt hands back its default handler when none of ours was installed before.
    m_previous = qInstallMessageHandler(handleMessage);
}

DisplayFailureGuard::~DisplayFailureGuard()
{
    qInstallMessageHandler(m_previous);
    activeGuard = nullptr;
    for (const HeldMessage &message : m_held)
        handOn(message);
}

void DisplayFailureGuard::handleMessage(QtMsgType type, const QMessageLogContext &context,
                                        const QString &text)
{
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
        guard.handOn(message);
    guard.m_held.clear();
    guard.m_previous(type, context, text);
}

void DisplayFailureGuard::handOn(const HeldMessage &message) const
{
    const QMessageLogContext context(
        message.file.isNull() ? nullptr : message.file.constData(), message.line,
        message.function.isNull() ? nullptr : message.function.constData(),
        message.category.isNull() ? nullptr : message.category.constData());
    m_previous(message.type, context, message.text);
}

} // namespace norvane
