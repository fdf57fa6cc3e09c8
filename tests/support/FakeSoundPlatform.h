// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#pragma once

#include "sound/SoundPlatform.h"

#include <QStringList>

// Records every call into the sound functions as "name module flags", a stop
// as "null 0 0", and keeps whether a looped sound would be playing.
struct FakeSoundPlatform final : SoundPlatform
{
    QStringList calls;
    bool looping = false;
    UINT devices = 1;
    SoundProblem problem = SoundProblem::None;
    int checks = 0;

    FakeSoundPlatform() { SoundPlatform::setCurrent(this); }
    ~FakeSoundPlatform() override { SoundPlatform::setCurrent(nullptr); }
    BOOL PlaySoundA(LPCSTR name, HMODULE module, DWORD flags) override
    {
        calls << QStringLiteral("%1 %2 %3")
                         .arg(name ? name : "null")
                         .arg(quintptr(module))
                         .arg(flags, 0, 16);
        looping = name && (flags & SND_LOOP) && (flags & SND_ASYNC);
        return 1;
    }
    UINT waveOutGetNumDevs() override { return devices; }
    void checkOutput() override { ++checks; }
    SoundProblem outputProblem() override { return problem; }
    int stops() const { return int(calls.count(QStringLiteral("null 0 0"))); }
};
