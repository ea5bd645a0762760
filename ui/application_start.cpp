// SPDX-License-Identifier: MIT
#include "application_start.h"

#include "display_failure_guard.h"

#include <QApplication>

namespace norvane {

QByteArray preferredPlatform(const QStringList &arguments,
                             const std::function<QByteArray(const char *)> &environment)
{
    if (!environment("QT_QPA_PLATFORM").isEmpty())
        return {};
    // Qt takes the option with one dash or two, and its value as the next argument.
    for (const QString &argument : arguments.mid(1)) {
        if (argument == QLatin1String("-platform") || argument == QLatin1String("--platform"))
            return {};
    }
    const bool wayland =
        !environment("WAYLAND_DISPLAY").isEmpty() || environment("XDG_SESSION_TYPE") == "wayland";
    const bool x11 = !environment("DISPLAY").isEmpty();
    return wayland && x11 ? QByteArrayLiteral("xcb") : QByteArray();
}

std::unique_ptr<QApplication> startApplication(int &argc, char **argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const QByteArray platform =
        preferredPlatform(arguments, [](const char *name) { return qgetenv(name); });
    if (!platform.isEmpty())
        qputenv("QT_QPA_PLATFORM", platform);

    const DisplayFailureGuard guard;
    return std::make_unique<QApplication>(argc, argv);
}

} // namespace norvane
