// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#pragma once

#include "sound/SoundPlatform.h"

#include <QStringList>

// Records every call into the sound functions as "name module flags" and
// keeps what the machine would be playing, so a test can ask "is it ringing?".
struct FakeSoundPlatform final : SoundPlatform
{
    QStringList calls;
    int plays = 0, stops = 0;
    bool looping = false;
    UINT devices = 1;

    FakeSoundPlatform() { SoundPlatform::setCurrent(this); }
    ~FakeSoundPlatform() override { SoundPlatform::setCurrent(nullptr); }
    BOOL PlaySoundA(LPCSTR name, HMODULE module, DWORD flags) override
    {
        calls << QStringLiteral("%1 %2 %3")
                         .arg(name ? name : "null")
                         .arg(quintptr(module))
                         .arg(flags, 0, 16);
        name ? ++plays : ++stops;
        looping = name && (flags & SND_LOOP) && (flags & SND_ASYNC);
        return 1;
    }
    UINT waveOutGetNumDevs() override { return devices; }
};
