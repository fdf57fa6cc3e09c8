// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
//
// Test code, preloaded into the program by the end-to-end rows: no other
// client can ask a Wayland window to change its state, and neither the
// private X server nor the headless compositor has a window manager or a
// pointer to press a title bar's buttons with. It watches the file that
// VELLWAKE_WINDOW_REQUESTS names for one request at a time,
//
//     maximize TITLE      what the title bar's maximise button does
//     fullscreen TITLE    what QWindow::showFullScreen() does
//     close TITLE         what the title bar's close button asks for
//
// removes the file, and carries the request out on the shown window of that
// title: the modal one if it has that title, as that one takes the input.

#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QTimer>
#include <QWindow>

#include <cstdio>

namespace {

QWindow *shownWindow(const QString &title)
{
    QWindow *modal = QGuiApplication::modalWindow();
    if (modal && modal->title() == title)
        return modal;
    const QWindowList windows = QGuiApplication::topLevelWindows();
    for (QWindow *window : windows) {
        if (window->isVisible() && window->title() == title)
            return window;
    }
    return nullptr;
}

void carryOut(const QString &request)
{
    const QString verb = request.section(u' ', 0, 0);
    QWindow *window = shownWindow(request.section(u' ', 1));
    if (!window)
        std::fprintf(stderr, "window requests: no window for \"%s\"\n", qPrintable(request));
    else if (verb == u"maximize")
        window->setWindowStates(window->windowStates() | Qt::WindowMaximized);
    else if (verb == u"fullscreen")
        window->setWindowStates(Qt::WindowFullScreen);
    else if (verb == u"close")
        window->close();
    else
        std::fprintf(stderr, "window requests: no such request \"%s\"\n", qPrintable(request));
}

void watch()
{
    const QString path = qEnvironmentVariable("VELLWAKE_WINDOW_REQUESTS");
    if (path.isEmpty())
        return;
    auto *timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, [path] {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return;
        const QString request = QString::fromUtf8(file.readAll()).trimmed();
        file.remove();
        // Outside this timer, which cannot fire again while a request runs a
        // message box's event loop.
        QMetaObject::invokeMethod(
                qApp, [request] { carryOut(request); }, Qt::QueuedConnection);
    });
    timer->start(50);
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(watch)
