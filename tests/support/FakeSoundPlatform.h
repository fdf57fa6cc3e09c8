// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#pragma once

#include "sound/SoundPlatform.h"

#include <optional>
#include <string>
#include <vector>

// Records every call into the sound functions and keeps a model of what the
// machine would be playing, so tests can ask "is it ringing?" without a speaker.
class FakeSoundPlatform final : public SoundPlatform
{
public:
    struct Call
    {
        std::optional<std::string> name; // nullopt for a null name
        HMODULE module;
        DWORD flags;
    };

    FakeSoundPlatform() { SoundPlatform::setCurrent(this); }
    ~FakeSoundPlatform() override { SoundPlatform::setCurrent(nullptr); }
    FakeSoundPlatform(const FakeSoundPlatform &) = delete;
    FakeSoundPlatform &operator=(const FakeSoundPlatform &) = delete;

    BOOL PlaySoundA(LPCSTR name, HMODULE module, DWORD flags) override
    {
        calls.push_back({name ? std::optional<std::string>(name) : std::nullopt, module, flags});
        if (!name)
            m_looping = false;
        else
            m_looping = (flags & SND_LOOP) && (flags & SND_ASYNC);
        return 1;
    }
    UINT waveOutGetNumDevs() override
    {
        ++deviceQueries;
        return devices;
    }

    // A looped background sound is playing (nothing else outlasts its call).
    bool looping() const { return m_looping; }
    int playCount() const
    {
        int n = 0;
        for (const Call &c : calls)
            n += c.name.has_value();
        return n;
    }
    int stopCount() const { return int(calls.size()) - playCount(); }
    void clear() { calls.clear(); }

    std::vector<Call> calls;
    UINT devices = 1;
    int deviceQueries = 0;

private:
    bool m_looping = false;
};
