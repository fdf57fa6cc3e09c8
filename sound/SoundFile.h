// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#pragma once

// Finding and decoding the sound a call names, in the device's format.

#include "sound/winmm.h"

#include <SDL.h>

#include <vector>

// A whole sound in memory: its format as SDL describes it, and its samples,
// whole frames only.
struct DecodedSound
{
    SDL_AudioSpec format{};
    std::vector<Uint8> samples;
};

// The sound a call of PlaySoundA asks for, converted to `device` (rate,
// sample format, channels). A file name without a slash is looked for in the
// current directory, then beside the program, then in the installed data
// directory; a file in the current directory that another user owns is
// passed over. A path is taken as it is. A sound that cannot be found,
// decoded or converted is replaced by the built-in default, unless the flags
// say SND_NODEFAULT. False when nothing at all is to be played.
bool loadSound(const char *name, DWORD flags, const SDL_AudioSpec &device, DecodedSound &out);

// Names that play the default sound however they are asked for.
bool isSystemAlias(const char *name);
