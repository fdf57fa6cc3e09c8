// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QLoggingCategory>

// The sound layer's log. A warning, printed by default, says once that no
// sound can be played at all (no audio module, no output device). Why a
// sound was not played as asked is debug output, silent unless the user
// turns it on: QT_LOGGING_RULES="vellwake.sound.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcSound)
