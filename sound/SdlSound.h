// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#pragma once

// What the SDL sound layer offers beyond the two multimedia functions.
namespace SdlSound {

// Loads the audio module on a thread of its own, so that the first sound
// finds it ready and the caller does not wait for it.
void loadInBackground();

// Stops the sound, closes the device and leaves SDL. The next call starts
// afresh and reads SDL's environment (driver, output file) again. Runs by
// itself when the program exits, so no sound outlives it.
void shutdown();

} // namespace SdlSound
