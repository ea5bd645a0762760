// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <vector>

namespace norvane {

// Watches the opening of the display while the application object is made. Qt reports a display
// it cannot reach with a few lines about its platform plug-in and then aborts; while this guard
// lives, that ends the program instead with one line on standard error that says what is wrong,
// and exit status 1. Every other failure is left to Qt as it is.
//
// Qt's own messages meanwhile are held back and handed on, in order, when the guard goes: so a
// failure to open the display prints nothing but the one line.
class DisplayFailureGuard
{
public:
    DisplayFailureGuard();
    ~DisplayFailureGuard();
    DisplayFailureGuard(const DisplayFailureGuard &) = delete;
    DisplayFailureGuard &operator=(const DisplayFailureGuard &) = delete;

    // The line printed when no display can be opened.
    static const char *const NoDisplayLine;

private:
    struct HeldMessage
    {
        QtMsgType type;
        QByteArray category;
        QByteArray file;
        QByteArray function;
        int line;
        QString text;
    };

    static void handleMessage(QtMsgType type, const QMessageLogContext &context,
                              const QString &text);
    // Passes a held message to the handler that was there before the guard.
    static void handOn(const HeldMessage &message);

    std::vector<HeldMessage> m_held;
    bool m_displayUnreachable = false;
};

} // namespace norvane
