// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
// Placeholder until the SDL2 sound layer lands.
#include "sound/winmm.h"

BOOL PlaySoundA(LPCSTR, HMODULE, DWORD)
{
    return 0;
}

UINT waveOutGetNumDevs()
{
    return 0;
}
