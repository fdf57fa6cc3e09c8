// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QPointer>

class QWidget;

// Remembers which control of a window last had the keyboard focus, leaving
// out the menu bar, which takes the focus while a menu command is chosen
// from the keyboard. After the command's message box the focus goes back to
// that control, where the user left it.
class WindowFocus : public QObject
{
public:
    explicit WindowFocus(QWidget *window);
    void restore();

private:
    QWidget *m_window;
    QPointer<QWidget> m_last;
};
