// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QStringList>
#include <functional>
#include <memory>

class QApplication;

namespace norvane {

// The Qt platform plug-in the program asks for, or an empty array to leave the choice to Qt.
// On a Wayland desktop a window cannot place itself, and the progress window has a fixed place
// on the screen: where the desktop also runs an X server (XWayland, DISPLAY set), the program
// runs on it through "xcb". A platform the user chose (QT_QPA_PLATFORM, or -platform among the
// arguments) is always kept. `environment` gives a variable's value, empty when it is not set.
QByteArray preferredPlatform(const QStringList &arguments,
                             const std::function<QByteArray(const char *)> &environment);

// Makes the application object on the preferred platform. When no display can be opened, the
// program ends here with one line on standard error and exit status 1 (see DisplayFailureGuard).
std::unique_ptr<QApplication> startApplication(int &argc, char **argv);

} // namespace norvane
