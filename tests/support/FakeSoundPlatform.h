// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#pragma once

#include "sound/SoundPlatform.h"

#include <QByteArray>
#include <QList>

#include <optional>

// Records every call into the sound functions, and keeps whether a looped
// sound would be playing. Installs itself for its lifetime.
struct FakeSoundPlatform final : SoundPlatform
{
    struct Call
    {
        std::optional<QByteArray> name; // none: a null name, a stop
        DWORD flags = 0;
        bool operator==(const Call &) const = default;
    };
    QList<Call> calls;
    bool looping = false;
    UINT devices = 1;
    SoundProblem problem = SoundProblem::None;
    int checks = 0;

    FakeSoundPlatform() { SoundPlatform::setCurrent(this); }
    ~FakeSoundPlatform() override { SoundPlatform::setCurrent(nullptr); }
    BOOL PlaySoundA(LPCSTR name, HMODULE, DWORD flags) override
    {
        calls << Call{name ? std::optional<QByteArray>(name) : std::nullopt, flags};
        looping = name && (flags & SND_LOOP) && (flags & SND_ASYNC);
        return 1;
    }
    UINT waveOutGetNumDevs() override { return devices; }
    void checkOutput() override { ++checks; }
    SoundProblem outputProblem() override { return problem; }
};
