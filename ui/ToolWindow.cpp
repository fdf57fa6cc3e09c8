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

// Qt holds a size the compositor configures to the window's limits, so on
// Wayland the window has none; this keeps its size instead. Sized by the
// compositor, the window takes any size: its content keeps the fixed size
// at the top left and the rest stays blank. In the normal state the window
// goes back to the fixed size.
class FixedContent : public QObject
{
    Q_OBJECT

public:
    explicit FixedContent(QWidget *window)
        : QObject(window)
        , m_window(window)
    {
        window->installEventFilter(this);
    }

    void setSize(const QSize &size)
    {
        m_size = size;
        fit();
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
        if (!sizedByCompositor(m_window) && size != m_size) {
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
    QSize m_size;
};

} // namespace

void makeFixedToolWindow(QWidget *window)
{
    window->setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                           | Qt::WindowCloseButtonHint);
    setFixedWindowSize(window, window->size());
}

void setFixedWindowSize(QWidget *window, const QSize &size)
{
    if (!onWayland()) {
        window->setFixedSize(size);
        return;
    }
    // Neither the window's own limits nor its layout's.
    if (QLayout *layout = window->layout())
        layout->setSizeConstraint(QLayout::SetNoConstraint);
    window->setMinimumSize(0, 0);
    window->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    auto *content = window->findChild<FixedContent *>(QString(), Qt::FindDirectChildrenOnly);
    if (!content)
        content = new FixedContent(window);
    content->setSize(size);
}

bool sizedByCompositor(const QWidget *window)
{
    return onWayland() && (window->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen));
}

#include "ToolWindow.moc"
