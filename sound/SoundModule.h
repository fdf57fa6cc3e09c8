// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#pragma once

// The audio module's one entry point. The module holds SDL's audio and all
// it pulls in, and the program loads it only when sound is first needed, so
// that none of it is loaded before the window shows.

#include "sound/winmm.h"

struct SoundModule
{
    BOOL (*playSound)(LPCSTR name, DWORD flags);
    UINT (*deviceCount)();
    // Stops the sound, closes the device and leaves SDL.
    void (*shutdown)();
};

inline constexpr char soundModuleFile[] = "vellwake-sound.so";
inline constexpr char soundModuleEntry[] = "vellwake_sound_module";

extern "C" {
using SoundModuleEntry = const SoundModule *(*)();
}
