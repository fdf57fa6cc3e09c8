// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#include "sound/SoundPlatform.h"

namespace {

class SystemSound final : public SoundPlatform
{
public:
    BOOL PlaySoundA(LPCSTR name, HMODULE module, DWORD flags) override
    {
        return ::PlaySoundA(name, module, flags);
    }
    UINT waveOutGetNumDevs() override { return ::waveOutGetNumDevs(); }
};

SystemSound systemSound;
SoundPlatform *currentPlatform = &systemSound;

} // namespace

SoundPlatform &SoundPlatform::current()
{
    return *currentPlatform;
}

void SoundPlatform::setCurrent(SoundPlatform *platform)
{
    currentPlatform = platform ? platform : &systemSound;
}
