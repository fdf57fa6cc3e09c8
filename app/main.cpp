// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#include "app/Form1.h"
#ifndef Q_OS_WIN
#include "sound/SoundModuleLoader.h"
#endif

#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

namespace {

// Without a display Qt would abort with a platform-plugin error that says
// little to a user; say plainly what is wrong instead.
bool displayAvailable()
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
    const auto set = [](const char *name) {
        const char *value = std::getenv(name);
        return value && *value;
    };
    return set("DISPLAY") || set("WAYLAND_DISPLAY") || set("QT_QPA_PLATFORM");
#else
    return true;
#endif
}

} // namespace

int main(int argc, char *argv[])
{
    if (!displayAvailable()) {
        std::fputs("vellwake: no display found; start it on a desktop, or without one as "
                   "'xvfb-run vellwake'\n",
                   stderr);
        return 1;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vellwake"));
    QApplication::setApplicationVersion(QStringLiteral(VELLWAKE_VERSION_STRING));
    // Lets the desktop match the window with its menu entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.example.Vellwake"));
    // Only the main window's confirmed close ends the program: closing the
    // last ordinary window (a message box, the Set Alarms window) must not
    // quit, since the tool window does not count as one.
    app.setQuitOnLastWindowClosed(false);
    Form1 form;
    // A tool window does not end the program by itself when it closes.
    // exit() rather than quit(): quit() would first ask every window to close
    // again, and the main window asks before it closes.
    QObject::connect(&form, &Form1::unloaded, &app, [] { QCoreApplication::exit(0); });
    form.show();
#ifndef Q_OS_WIN
    // The audio library loads once the window is up, off the start-up path
    // and before the first ring needs it.
    QTimer::singleShot(0, &form, [] { SoundModuleLoader::loadInBackground(); });
#endif
    return app.exec();
}
