// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
// The two multimedia functions where the system has none, and the sound
// thread that carries them out. A call hands its request to the thread and
// returns; a newer play or stop replaces one the thread has not taken yet.
// The thread loads the audio module (on first use, or ahead of it once the
// window is up: SDL and the libraries it pulls in then cost start-up
// nothing), makes every call into it, and keeps an eye on a playing sound so
// that a ring whose output went away starts again by itself.
#include "sound/SoundModuleLoader.h"

#include "base/ProgramFiles.h"
#include "sound/SoundLog.h"
#include "sound/SoundModule.h"
#include "sound/winmm.h"

#include <QCoreApplication>
#include <QLibrary>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// A lost output is noticed within about a second.
constexpr auto watchEvery = 250ms;
// How long a caller that needs an answer waits for a thread stuck in a hung
// sound server, before it goes on without one.
constexpr auto answerWithin = 2s;
// A waiting play may take this much longer than its sound.
constexpr auto heardWithin = 2s;
constexpr auto waitingPlayPoll = 10ms;

const SoundModule *loadFromFile(QString &error)
{
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
    return nullptr;
}

struct Play
{
    std::optional<std::string> name; // none: stop
    DWORD flags = 0;
    std::uint64_t serial = 0;
};

class SoundThread
{
public:
    struct Requests
    {
        bool load = false;
        bool check = false;
    };

    BOOL play(LPCSTR name, DWORD flags)
    {
        std::unique_lock lock(m_mutex);
        if (!running())
            return FALSE;
        const std::uint64_t serial = ++m_serial;
        m_play = Play{name ? std::optional<std::string>(name) : std::nullopt, flags, serial};
        m_wake.notify_one();
        if (!name || (flags & SND_ASYNC))
            return TRUE;
        // A waiting play: until its sound has been heard or another call
        // replaced it. A thread that does not even start it in time is stuck.
        const auto asked = Clock::now() + answerWithin;
        const auto deadline = [&] { return m_started == serial ? m_heardBy : asked; };
        while (m_settled < serial) {
            if (m_answered.wait_until(lock, deadline()) == std::cv_status::timeout
                && Clock::now() >= deadline())
                return FALSE;
        }
        return m_settled == serial ? m_settledOk : TRUE;
    }

    // Asks the thread, and waits a little for the answer: the count is a
    // question whose caller needs a number now. A thread stuck in a hung
    // sound server leaves the last count it found.
    UINT deviceCount()
    {
        std::unique_lock lock(m_mutex);
        if (!running())
            return 0;
        const std::uint64_t serial = ++m_serial;
        m_countAsked = serial;
        m_wake.notify_one();
        m_answered.wait_for(lock, answerWithin, [&] { return m_counted >= serial; });
        return m_count;
    }

    void post(bool Requests::*what)
    {
        std::lock_guard lock(m_mutex);
        if (!running())
            return;
        m_requests.*what = true;
        m_wake.notify_one();
    }

    SoundProblem problem() const { return m_problem.load(); }

    void reset(const SoundModuleLoader::ModuleSource &source)
    {
        std::unique_lock lock(m_mutex);
        if (source)
            m_source = source;
        if (!running())
            return;
        const std::uint64_t serial = ++m_serial;
        m_resetAsked = serial;
        m_play.reset(); // stopped by the reset anyway
        m_wake.notify_one();
        m_answered.wait_for(lock, answerWithin, [&] { return m_resetDone >= serial; });
    }

    // At the program's end: a thread stuck in a hung sound server is left
    // behind rather than waited for.
    void quit()
    {
        std::unique_lock lock(m_mutex);
        if (m_quit || !m_thread.joinable())
            return;
        m_quit = true;
        m_play.reset();
        m_wake.notify_one();
        const bool ended = m_answered.wait_for(lock, answerWithin, [this] { return m_ended; });
        lock.unlock();
        if (ended)
            m_thread.join();
        else
            m_thread.detach();
    }

private:
    // Under m_mutex: starts the thread on first use; false once the program
    // is ending.
    bool running()
    {
        if (m_quit)
            return false;
        if (!m_thread.joinable()) {
            m_thread = std::thread([this] { run(); });
            // Before the application object and the libraries go away.
            if (QCoreApplication::instance())
                qAddPostRoutine(atEnd);
            else
                std::atexit(atEnd);
        }
        return true;
    }

    static void atEnd();

    void run()
    {
        Clock::time_point nextWatch{};
        for (;;) {
            std::optional<Play> play;
            Requests asked;
            std::uint64_t count = 0, reset = 0;
            bool quit = false;
            {
                std::unique_lock lock(m_mutex);
                const auto pending = [this] {
                    return m_play || m_requests.load || m_requests.check || m_countAsked > m_counted
                            || m_resetAsked > m_resetDone || m_quit;
                };
                if (m_waiting)
                    m_wake.wait_for(lock, waitingPlayPoll, pending);
                else if (m_playing)
                    m_wake.wait_until(lock, nextWatch, pending);
                else
                    m_wake.wait(lock, pending);
                play = std::exchange(m_play, std::nullopt);
                asked = std::exchange(m_requests, Requests{});
                if (m_countAsked > m_counted)
                    count = m_countAsked;
                if (m_resetAsked > m_resetDone)
                    reset = m_resetAsked;
                quit = m_quit;
            }
            if (play)
                settleWaiting(TRUE); // replaced
            if (reset || quit) {
                if (m_module)
                    m_module->shutdown();
                m_module = nullptr;
                m_playing = false;
                settleWaiting(TRUE);
                std::lock_guard lock(m_mutex);
                m_resetDone = std::max(m_resetDone, reset);
                m_ended = quit;
                m_answered.notify_all();
                if (quit)
                    return;
            }
            if (asked.load || asked.check || play || count)
                load();
            if (play)
                start(*play);
            if (m_waiting && m_module) {
                if (m_module->remaining() <= 0 || Clock::now() >= m_heardBy)
                    settleWaiting(TRUE);
            }
            if (play) {
                nextWatch = Clock::now() + watchEvery;
            } else if (m_playing && Clock::now() >= nextWatch) {
                m_playing = m_module && m_module->watch();
                nextWatch = Clock::now() + watchEvery;
            }
            if (asked.check)
                check();
            if (count) {
                const UINT n = m_module ? m_module->deviceCount() : 0;
                std::lock_guard lock(m_mutex);
                m_count = n;
                m_counted = count;
                m_answered.notify_all();
            }
        }
    }

    // The module, loaded now if need be. A module that cannot be had is
    // looked for again at the next request: it may have been installed since.
    void load()
    {
        if (m_module)
            return;
        SoundModuleLoader::ModuleSource source;
        {
            std::lock_guard lock(m_mutex);
            source = m_source;
        }
        QString error;
        m_module = source(error);
        if (!m_module)
            report(SoundProblem::NoAudioModule,
                   QStringLiteral("the audio module cannot be loaded: ") + error);
    }

    void start(const Play &play)
    {
        const char *name = play.name ? play.name->c_str() : nullptr;
        const bool waiting = name && !(play.flags & SND_ASYNC);
        PlayResult result = PlayResult::NoOutput;
        if (m_module)
            result = m_module->play(name, play.flags);
        if (result == PlayResult::NoOutput && m_module)
            report(SoundProblem::NoOutputDevice, QStringLiteral("no audio output would open"));
        else if (result == PlayResult::Played && name)
            report(SoundProblem::None, {});
        // A ring with no output yet is watched too: it starts once one opens.
        m_playing = name && result != PlayResult::NothingToPlay;
        std::lock_guard lock(m_mutex);
        if (waiting && result == PlayResult::Played) {
            const double left = std::max(0.0, m_module->remaining());
            m_waiting = m_started = play.serial;
            m_heardBy = Clock::now()
                    + std::chrono::duration_cast<Clock::duration>(
                                std::chrono::duration<double>(left) + heardWithin);
        } else {
            m_settled = play.serial;
            m_settledOk = result == PlayResult::Played;
        }
        m_answered.notify_all();
    }

    void settleWaiting(BOOL ok)
    {
        std::lock_guard lock(m_mutex);
        if (!m_waiting)
            return;
        m_settled = m_waiting;
        m_settledOk = ok;
        m_waiting = 0;
        m_answered.notify_all();
    }

    void check()
    {
        if (!m_module)
            return; // reported by load()
        if (const char *why = m_module->checkOutput())
            report(SoundProblem::NoOutputDevice,
                   QStringLiteral("no audio output found: ") + QString::fromLocal8Bit(why));
        else
            report(SoundProblem::None, {});
    }

    // One warning when a problem appears, none while it stays.
    void report(SoundProblem problem, const QString &why)
    {
        const SoundProblem before = m_problem.exchange(problem);
        if (problem != SoundProblem::None && problem != before)
            qCWarning(lcSound).noquote() << "no sound:" << why;
    }

    std::mutex m_mutex;
    std::condition_variable m_wake; // to the thread
    std::condition_variable m_answered; // from it
    std::thread m_thread;
    SoundModuleLoader::ModuleSource m_source = loadFromFile;
    std::uint64_t m_serial = 0;
    std::optional<Play> m_play;
    Requests m_requests;
    std::uint64_t m_countAsked = 0, m_counted = 0;
    UINT m_count = 0;
    std::uint64_t m_resetAsked = 0, m_resetDone = 0;
    bool m_quit = false, m_ended = false;
    // The waiting play being heard, and how the last play came out.
    std::uint64_t m_waiting = 0, m_started = 0, m_settled = 0;
    Clock::time_point m_heardBy;
    BOOL m_settledOk = FALSE;
    std::atomic<SoundProblem> m_problem = SoundProblem::None;

    // The thread's own.
    const SoundModule *m_module = nullptr;
    bool m_playing = false;
};

// Never destroyed: a thread left in a hung sound server at the end may still
// wake up and touch it.
SoundThread &soundThread()
{
    static SoundThread *thread = new SoundThread;
    return *thread;
}

void SoundThread::atEnd()
{
    soundThread().quit();
}

} // namespace

BOOL PlaySoundA(LPCSTR pszSound, HMODULE, DWORD fdwSound)
{
    return soundThread().play(pszSound, fdwSound);
}

UINT waveOutGetNumDevs()
{
    return soundThread().deviceCount();
}

namespace SoundModuleLoader {

void loadInBackground()
{
    soundThread().post(&SoundThread::Requests::load);
}

void checkOutput()
{
    soundThread().post(&SoundThread::Requests::check);
}

SoundProblem outputProblem()
{
    return soundThread().problem();
}

void shutdown()
{
    soundThread().reset({});
}

void setModuleSource(ModuleSource source)
{
    soundThread().reset(source ? std::move(source) : ModuleSource(loadFromFile));
}

} // namespace SoundModuleLoader
