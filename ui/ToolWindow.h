// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#pragma once

class QSize;
class QWidget;

// Makes `window` a fixed-size tool window at its present size: a small title
// bar with a close button only, no task-bar button, not resizable. Call once
// its content is laid out.
void makeFixedToolWindow(QWidget *window);

// Fixes the size of a window, as QWidget::setFixedSize does. On Wayland,
// where the compositor may still maximise the window or make it full screen
// and ends a program that answers with another size, the window takes the
// size given there instead and shows its content at the fixed size at the
// top left; in the normal state it keeps the fixed size.
void setFixedWindowSize(QWidget *window, const QSize &size);

// On Wayland, while the compositor sets the window's size: maximised or full
// screen. Nothing may resize the window then.
bool sizedByCompositor(const QWidget *window);
