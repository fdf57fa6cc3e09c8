// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#pragma once

class QWidget;

// Makes `window` a fixed-size tool window at its present size: a small title
// bar with a close button only, no task-bar button, not resizable. Call once
// its content is laid out. On Wayland, where the compositor may still
// maximise it or make it full screen, the window then takes the size given
// and shows its content at the fixed size at the top left.
void makeFixedToolWindow(QWidget *window);
