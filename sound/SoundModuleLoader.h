// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#pragma once

#include "sound/SoundProblem.h"

// The audio module's loader: the program does not link the audio library
// itself, but loads the module that holds it once the window is up.
namespace SoundModuleLoader {

// Loads the audio module on a thread of its own, so that the first sound
// finds it ready and the caller does not wait for it.
void loadInBackground();

// Asks whether sound can be played at all; the answer comes later.
void checkOutput();
// What the last check found. Never waits.
SoundProblem outputProblem();

// Stops the sound, closes the device and leaves the audio library. The next
// call starts afresh and reads the audio library's environment (driver,
// output file) again. Runs by itself when the program exits, so no sound
// outlives it.
void shutdown();

} // namespace SoundModuleLoader
