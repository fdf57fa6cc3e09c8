// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
// The two multimedia functions where the system has none. They hand each call
// to the audio module, which is loaded on first use or ahead of it, once the
// window is up: SDL and the libraries it pulls in then cost start-up nothing.
#include "sound/SoundModuleLoader.h"

#include "base/ProgramFiles.h"
#include "sound/SoundLog.h"
#include "sound/SoundModule.h"
#include "sound/winmm.h"

#include <QLibrary>

#include <mutex>
#include <thread>

namespace {

class ModuleLoader
{
public:
    ~ModuleLoader()
    {
        if (m_background.joinable())
            m_background.join();
    }

    // The module, loaded now if need be; null when it cannot be had, and the
    // next call tries again.
    const SoundModule *module()
    {
        std::lock_guard lock(m_mutex);
        if (!m_module)
            m_module = load();
        return m_module;
    }

    const SoundModule *loaded()
    {
        std::lock_guard lock(m_mutex);
        return m_module;
    }

    void loadInBackground()
    {
        std::lock_guard lock(m_mutex);
        if (m_module || m_background.joinable())
            return;
        m_background = std::thread([this] { module(); });
    }

private:
    static const SoundModule *load()
    {
        QString error;
        for (const QString &path : programFileCandidates(QLatin1String(soundModuleFile),
                                                         QStringLiteral(VELLWAKE_MODULEDIR))) {
            QLibrary library(path);
            if (!library.load()) {
                error = library.errorString();
                continue;
            }
            if (auto entry = reinterpret_cast<SoundModuleEntry>(library.resolve(soundModuleEntry)))
                return entry();
            error = library.errorString();
        }
        qCDebug(lcSound) << "no audio module:" << error;
        return nullptr;
    }

    std::mutex m_mutex;
    const SoundModule *m_module = nullptr;
    std::thread m_background;
};

ModuleLoader loader;

} // namespace

BOOL PlaySoundA(LPCSTR pszSound, HMODULE, DWORD fdwSound)
{
    const SoundModule *module = loader.module();
    return module ? module->playSound(pszSound, fdwSound) : 0;
}

UINT waveOutGetNumDevs()
{
    const SoundModule *module = loader.module();
    return module ? module->deviceCount() : 0;
}

namespace SoundModuleLoader {

void loadInBackground()
{
    loader.loadInBackground();
}

void checkOutput() { }

SoundProblem outputProblem()
{
    return SoundProblem::None;
}

void shutdown()
{
    if (const SoundModule *module = loader.loaded())
        module->shutdown();
}

} // namespace SoundModuleLoader
