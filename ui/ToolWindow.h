// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#pragma once

class QWidget;

// Makes `window` a fixed-size tool window at its present size: a small title
// bar with a close button only, no task-bar button, not resizable. Call once
// its content is laid out.
void makeFixedToolWindow(QWidget *window);
