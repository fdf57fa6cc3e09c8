// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#include "sound/SoundPlatform.h"

#ifndef _WIN32
#include "sound/SoundModuleLoader.h"
#endif

#include <atomic>

namespace {

class SystemSound final : public SoundPlatform
{
public:
    BOOL PlaySoundA(LPCSTR name, HMODULE module, DWORD flags) override
    {
        return ::PlaySoundA(name, module, flags);
    }
    UINT waveOutGetNumDevs() override { return ::waveOutGetNumDevs(); }
#ifdef _WIN32
    // The system's own count answers at once.
    void checkOutput() override
    {
        m_problem = ::waveOutGetNumDevs() > 0 ? SoundProblem::None : SoundProblem::NoOutputDevice;
    }
    SoundProblem outputProblem() override
    {
        return m_problem;
    }

private:
    std::atomic<SoundProblem> m_problem = SoundProblem::None;
#else
    void checkOutput() override
    {
        SoundModuleLoader::checkOutput();
    }
    SoundProblem outputProblem() override
    {
        return SoundModuleLoader::outputProblem();
    }
#endif
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
