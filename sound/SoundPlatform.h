// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#pragma once

#include "sound/SoundProblem.h"
#include "sound/winmm.h"

// The one door from the sound player to the machine's sound functions.
// Tests put a recording fake in place of the real functions.
class SoundPlatform
{
public:
    virtual ~SoundPlatform() = default;
    virtual BOOL PlaySoundA(LPCSTR name, HMODULE module, DWORD flags) = 0;
    virtual UINT waveOutGetNumDevs() = 0;
    // Asks whether sound can be played at all, and returns at once; the
    // answer comes in the background.
    virtual void checkOutput() = 0;
    // What the last check found. Never waits.
    virtual SoundProblem outputProblem() = 0;

    static SoundPlatform &current();
    // nullptr puts the real functions back.
    static void setCurrent(SoundPlatform *platform);
};
