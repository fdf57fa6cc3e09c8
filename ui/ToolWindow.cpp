// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#include "ui/ToolWindow.h"

#include <QEvent>
#include <QGuiApplication>
#include <QLayout>
#include <QWidget>

#include <algorithm>

namespace {

bool onWayland()
{
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

// A Wayland compositor sets a maximised or full-screen window's size, and
// ends the program with a protocol error if the window answers with another.
// So there the window takes any size it is given: its content keeps the
// fixed size at the top left, the rest stays blank, and in the normal state
// the window goes back to the fixed size.
class FixedContent : public QObject
{
public:
    explicit FixedContent(QWidget *window)
        : QObject(window)
        , m_window(window)
        , m_size(window->size())
    {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_window && event->type() == QEvent::Resize)
            fit();
        return false;
    }

private:
    void fit()
    {
        const QSize size = m_window->size();
        const bool sizedByCompositor
                = m_window->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen);
        if (!sizedByCompositor && size != m_size) {
            // In the normal state a window may choose its size; this comes
            // back here with the fixed one.
            m_window->resize(m_size);
            return;
        }
        // The layout fills the contents rectangle: the margins keep it at the
        // fixed size.
        m_window->setContentsMargins(0, 0, std::max(0, size.width() - m_size.width()),
                                     std::max(0, size.height() - m_size.height()));
    }

    QWidget *const m_window;
    const QSize m_size;
};

} // namespace

void makeFixedToolWindow(QWidget *window)
{
    window->setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                           | Qt::WindowCloseButtonHint);
    if (!onWayland()) {
        window->setFixedSize(window->size());
        return;
    }
    // Qt would hold a size the compositor configures to the window's limits,
    // so the window has none: neither its own nor its layout's.
    if (QLayout *layout = window->layout())
        layout->setSizeConstraint(QLayout::SetNoConstraint);
    window->setMinimumSize(0, 0);
    window->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    new FixedContent(window);
}
