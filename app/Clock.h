// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QDateTime>

#include <functional>

// The current local date and time; tests hand the window a clock of their own.
using Clock = std::function<QDateTime()>;

QDateTime systemNow();
