// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QLoggingCategory>

// Why a sound was not played as asked. Silent unless the user turns it on:
// QT_LOGGING_RULES="vellwake.sound.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcSound)
