// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
// The player behind the module's entry points, one sound at a time on SDL's
// audio: the device, looping, replacing and stopping (a null name), and a
// ring that starts again by itself when its output goes away. Every entry
// point is a plain blocking call; the program's sound thread is the only
// caller, so nothing here waits for anyone but SDL.
#include "sound/OutputVolume.h"
#include "sound/SoundFile.h"
#include "sound/SoundLog.h"
#include "sound/SoundModule.h"

#include <SDL.h>

#include <dlfcn.h>

#include <algorithm>
#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

// One format every sound server takes; each sound is converted to it once,
// as it is loaded, so that a replace never reopens the device.
SDL_AudioSpec deviceFormat()
{
    SDL_AudioSpec format{};
    format.freq = 48000;
    format.format = AUDIO_S16SYS;
    format.channels = 2;
    format.samples = 1024; // about 20 ms: a quick stop, and no starving
    return format;
}

// A fill that has not come for this long means the output hangs.
constexpr Uint64 stalledAfterMs = 1000;
// How often a lost ring tries to open an output again.
constexpr Uint64 retryEveryMs = 1000;
// How long an output stays open after a sound played once.
constexpr Uint64 closeAfterMs = 1000;

// ALSA, which SDL falls back to when no sound server answers, prints its
// errors to standard error at every device it cannot open: once a second
// while a ring waits for an output. They belong in the debug log.
void alsaError(const char *, int, const char *, int, const char *format, ...)
{
    char text[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    qCDebug(lcSound, "ALSA: %s", text);
}

void quietAlsa()
{
    // The library SDL loads, kept loaded for the handler's sake.
    static void *const alsa = dlopen("libasound.so.2", RTLD_LAZY);
    if (!alsa)
        return;
    using Handler = void (*)(const char *, int, const char *, int, const char *, ...);
    using SetHandler = int (*)(Handler);
    if (auto set = reinterpret_cast<SetHandler>(dlsym(alsa, "snd_lib_error_set_handler")))
        set(alsaError);
}

class Player
{
public:
    static Player &instance()
    {
        // Never destroyed: the program's sound thread may still be in here
        // when the program ends.
        static Player *player = new Player;
        return *player;
    }

    PlayResult play(const char *name, DWORD flags)
    {
        if (!name) {
            stop();
            return PlayResult::Played;
        }
        DecodedSound sound;
        // Decoded before the device is touched: the old sound plays on until
        // the new one takes its place.
        if (!loadSound(name, flags, m_format, sound)) {
            stop();
            return PlayResult::NothingToPlay;
        }
        const bool loop = (flags & SND_LOOP) && (flags & SND_ASYNC);
        if (!openDevice()) {
            stop();
            if (loop) {
                // A ring waits for an output, as a ring whose output was lost
                // does: the watch tries again once a second.
                m_samples.swap(sound.samples);
                m_loop = m_playing = m_ringing = true;
                m_nextRetry = SDL_GetTicks64() + retryEveryMs;
            }
            return PlayResult::NoOutput;
        }
        SDL_LockAudioDevice(m_device);
        m_samples.swap(sound.samples);
        m_pos = 0;
        m_loop = loop;
        m_playing = true;
        m_finishedAt = 0;
        SDL_UnlockAudioDevice(m_device);
        SDL_PauseAudioDevice(m_device, 0);
        // The old samples are freed outside the lock, with `sound`.
        if (loop && !m_ringing)
            m_volume.raiseForRing();
        else if (!loop && m_ringing)
            m_volume.restoreAfterRing();
        m_ringing = loop;
        return PlayResult::Played;
    }

    double remaining()
    {
        if (!m_device)
            return 0;
        SDL_LockAudioDevice(m_device);
        const bool loop = m_loop && m_playing;
        const std::size_t left = m_playing ? m_samples.size() - m_pos : 0;
        const Uint64 finishedAt = m_finishedAt;
        SDL_UnlockAudioDevice(m_device);
        if (loop)
            return -1;
        // What is still in the device's buffer is heard after the last fill.
        const double tail = double(m_format.samples) / m_format.freq;
        if (finishedAt == 0)
            return double(left) / bytesPerSecond() + tail;
        return std::max(0.0, tail - double(SDL_GetTicks64() - finishedAt) / 1000);
    }

    bool watch()
    {
        if (!m_device && !m_ringing)
            return false;
        const Uint64 now = SDL_GetTicks64();
        if (!m_ringing) {
            // A sound played once has been over for a while: the device need
            // not stay open.
            if (remaining() > 0 || now - m_finishedAt < closeAfterMs)
                return true;
            closeDevice();
            return false;
        }
        const bool stopped = !m_device || SDL_GetAudioDeviceStatus(m_device) == SDL_AUDIO_STOPPED;
        // A sound server may take a second or two to ask for more than the
        // first fill of a new stream: that is no hang.
        const bool started = m_fills.load() - m_fillsAtOpen >= 2;
        const bool hangs = started && now - m_lastFill.load() > stalledAfterMs;
        if ((!stopped && !hangs) || now < m_nextRetry)
            return true;
        m_nextRetry = now + retryEveryMs;
        if (m_device)
            qCDebug(lcSound, "the ring's output %s", stopped ? "stopped" : "hangs");
        repair();
        return true;
    }

    const char *checkOutput()
    {
        if (m_device)
            return SDL_GetAudioDeviceStatus(m_device) == SDL_AUDIO_STOPPED ? "the output was lost"
                                                                           : nullptr;
        // Nothing plays: a sound server that came or went since the audio
        // started is seen only by starting it again.
        quitAudio();
        if (!startAudio())
            return SDL_GetError();
        if (SDL_GetNumAudioDevices(0) <= 0)
            return "no output device";
        return nullptr;
    }

    UINT deviceCount()
    {
        if (!startAudio())
            return 0;
        return UINT(std::max(0, SDL_GetNumAudioDevices(0)));
    }

    void shutdown()
    {
        stop();
        quitAudio();
    }

private:
    // SDL's audio thread; SDL holds the device lock around it.
    static void SDLCALL fill(void *userdata, Uint8 *stream, int length)
    {
        Player &p = *static_cast<Player *>(userdata);
        p.m_lastFill = SDL_GetTicks64();
        ++p.m_fills;
        const std::size_t wanted = std::size_t(length);
        std::size_t written = 0;
        while (written < wanted && p.m_playing) {
            const std::size_t n = std::min(wanted - written, p.m_samples.size() - p.m_pos);
            std::memcpy(stream + written, p.m_samples.data() + p.m_pos, n);
            p.m_pos += n;
            written += n;
            if (p.m_pos == p.m_samples.size()) {
                if (p.m_loop) {
                    p.m_pos = 0;
                } else {
                    p.m_playing = false;
                    p.m_finishedAt = SDL_GetTicks64();
                }
            }
        }
        if (written < wanted)
            std::memset(stream + written, p.m_format.silence, wanted - written);
    }

    double bytesPerSecond() const
    {
        return double(SDL_AUDIO_BITSIZE(m_format.format) / 8) * m_format.channels * m_format.freq;
    }

    // SDL's audio starts on first use. If it cannot start (no sound server
    // yet, a headset not plugged in), the next call tries again: the alarm
    // must not stay silent for the rest of the run.
    bool startAudio()
    {
        if (m_started)
            return true;
        // A file cut short is unusable, not a shorter sound.
        SDL_SetHint(SDL_HINT_WAVE_TRUNCATION, "strict");
        // SDL would otherwise take SIGINT and SIGTERM for an event loop we
        // don't run, and the program would no longer end when asked to.
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        quietAlsa();
        m_started = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
        if (!m_started)
            qCDebug(lcSound, "no audio driver could start: %s", SDL_GetError());
        return m_started;
    }

    // Leaves SDL's audio, so that the next start picks whichever driver and
    // device work by then.
    void quitAudio()
    {
        closeDevice();
        if (m_started)
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
        m_started = false;
    }

    // The default output, open and running; a device lost under us (server
    // restarted, headset unplugged) is opened afresh.
    bool openDevice()
    {
        if (m_device && SDL_GetAudioDeviceStatus(m_device) != SDL_AUDIO_STOPPED)
            return true;
        closeDevice();
        if (!startAudio())
            return false;
        SDL_AudioSpec want = m_format;
        want.callback = fill;
        want.userdata = this;
        // No changes allowed: SDL converts behind the device when the
        // output wants another format.
        m_device = SDL_OpenAudioDevice(nullptr, 0, &want, &m_format, 0);
        if (m_device == 0) {
            qCDebug(lcSound, "the audio device did not open: %s", SDL_GetError());
            quitAudio();
            return false;
        }
        m_lastFill = SDL_GetTicks64();
        m_fillsAtOpen = m_fills.load();
        return true; // paused until it has a sound
    }

    // Closing waits for SDL's audio thread, and so for the sound server.
    void closeDevice()
    {
        if (!m_device)
            return;
        SDL_CloseAudioDevice(m_device);
        m_device = 0;
    }

    void stop()
    {
        closeDevice();
        m_playing = false;
        m_samples.clear();
        m_pos = 0;
        if (m_ringing)
            m_volume.restoreAfterRing();
        m_ringing = false;
    }

    // The ring's output went away or hangs: SDL's audio starts again, on
    // whatever the default output is now, and the loop from its start.
    void repair()
    {
        qCDebug(lcSound, "opening the default output again for the ring");
        quitAudio();
        if (!openDevice())
            return;
        SDL_LockAudioDevice(m_device);
        m_pos = 0;
        m_playing = true;
        SDL_UnlockAudioDevice(m_device);
        SDL_PauseAudioDevice(m_device, 0);
        m_volume.raiseForRing(); // perhaps another output now
        qCDebug(lcSound, "the ring plays again");
    }

    SDL_AudioSpec m_format = deviceFormat();
    bool m_started = false;
    SDL_AudioDeviceID m_device = 0;
    Uint64 m_nextRetry = 0;
    bool m_ringing = false; // a loop plays, or should
    OutputVolume m_volume;

    // Shared with SDL's audio thread, under the device lock.
    std::vector<Uint8> m_samples;
    std::size_t m_pos = 0;
    bool m_loop = false;
    bool m_playing = false;
    std::atomic<Uint64> m_finishedAt = 0;
    std::atomic<Uint64> m_lastFill = 0;
    std::atomic<Uint64> m_fills = 0;
    Uint64 m_fillsAtOpen = 0;
};

} // namespace

extern "C" Q_DECL_EXPORT const SoundModule *vellwake_sound_module()
{
    static const SoundModule module{
            [](LPCSTR name, DWORD flags) { return Player::instance().play(name, flags); },
            [] { return Player::instance().remaining(); },
            [] { return Player::instance().watch(); },
            [] { return Player::instance().checkOutput(); },
            [] { return Player::instance().deviceCount(); },
            [] { Player::instance().shutdown(); }};
    return &module;
}
