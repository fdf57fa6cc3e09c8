// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#pragma once

// What the SDL sound layer offers beyond the two multimedia functions.
namespace SdlSound {

// Stops the sound, closes the device and leaves SDL. The next call starts
// afresh and reads SDL's environment (driver, output file) again. Runs by
// itself when the program exits, so no sound outlives it.
void shutdown();

// Names that play the default sound however they are asked for.
bool isSystemAlias(const char *name);

} // namespace SdlSound
