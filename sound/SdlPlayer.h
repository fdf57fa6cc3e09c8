// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#pragma once

// One sound at a time on SDL's audio: every call replaces the sound, a null
// name stops it, a waiting call returns once its sound has been heard.

#include "sound/winmm.h"

namespace SdlPlayer {

BOOL playSound(LPCSTR name, DWORD flags);
UINT deviceCount();
// Stops the sound, closes the device and leaves SDL. The next call starts
// afresh and reads SDL's environment (driver, output file) again. Runs by
// itself when the program exits, so no sound outlives it.
void shutdown();

} // namespace SdlPlayer
