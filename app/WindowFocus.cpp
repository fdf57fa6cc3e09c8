// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#include "app/WindowFocus.h"

#include <QApplication>
#include <QMenuBar>

WindowFocus::WindowFocus(QWidget *window)
    : QObject(window)
    , m_window(window)
{
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget *, QWidget *now) {
        if (now && now->window() == m_window && !qobject_cast<QMenuBar *>(now))
            m_last = now;
    });
}

void WindowFocus::restore()
{
    if (m_last && m_last->isEnabled()) {
        m_last->setFocus(Qt::OtherFocusReason);
        return;
    }
    // A disabled control cannot take the focus back; the menu bar must not
    // keep it either, or the next Space would choose the command again. The
    // window keeps it itself: left without one, it would hand the focus to its
    // first enabled control once active again, where a Space unchecks an alarm.
    if (qobject_cast<QMenuBar *>(m_window->focusWidget()))
        m_window->setFocus(Qt::OtherFocusReason);
}
