// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#pragma once

#include "sound/winmm.h"

// The one door from the sound player to the machine's sound functions.
// Tests put a recording fake in place of the real functions.
class SoundPlatform
{
public:
    virtual ~SoundPlatform() = default;
    virtual BOOL PlaySoundA(LPCSTR name, HMODULE module, DWORD flags) = 0;
    virtual UINT waveOutGetNumDevs() = 0;

    static SoundPlatform &current();
    // nullptr puts the real functions back.
    static void setCurrent(SoundPlatform *platform);
};
