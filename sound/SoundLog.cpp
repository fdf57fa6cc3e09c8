// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#include "sound/SoundLog.h"

Q_LOGGING_CATEGORY(lcSound, "vellwake.sound", QtInfoMsg)
