// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#pragma once

// The audio module's entry points. The module holds SDL's audio and all it
// pulls in; the program loads it on its sound thread once the window is up
// (or at the first call for sound, if that comes sooner), so none of it is
// loaded before the window shows. Any entry point may wait on the sound
// server: only the sound thread calls them, one at a time.

#include "sound/winmm.h"

enum class PlayResult {
    Played, // playing now, or stopped as asked
    NothingToPlay, // no sound of that name and no default wanted
    NoOutput, // no output device would open
};

struct SoundModule
{
    // As PlaySoundA, but returns once the sound plays; a null name stops.
    PlayResult (*play)(LPCSTR name, DWORD flags);
    // Seconds still to be heard of a sound played once, 0 once it has been
    // heard or nothing plays, below 0 for a loop.
    double (*remaining)();
    // Called about every quarter second while a sound plays: a loop whose
    // output was lost starts again on the current default output. False once
    // nothing plays any more.
    bool (*watch)();
    // Null when sound can be played now, else why not. When nothing plays it
    // starts SDL's audio afresh, so that a sound server that came or went
    // since is seen.
    const char *(*checkOutput)();
    UINT (*deviceCount)();
    // Stops the sound, closes the device and leaves SDL's audio.
    void (*shutdown)();
};

inline constexpr char soundModuleFile[] = "vellwake-sound.so";
inline constexpr char soundModuleEntry[] = "vellwake_sound_module";

extern "C" {
using SoundModuleEntry = const SoundModule *(*)();
}
