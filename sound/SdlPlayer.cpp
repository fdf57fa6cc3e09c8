// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
// The player behind the module's entry point, one sound at a time on SDL's
// audio: the device, looping, replacing and stopping (a null name), the
// thread that decodes a sound the caller does not wait for, and the waiting
// play that returns once its sound has been heard.
#include "sound/SoundFile.h"
#include "sound/SoundLog.h"
#include "sound/SoundModule.h"

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

bool sameFormat(const SDL_AudioSpec &a, const SDL_AudioSpec &b)
{
    return a.freq == b.freq && a.format == b.format && a.channels == b.channels;
}

// About 20 ms of frames, a power of two: short enough for a quick stop,
// long enough not to starve.
Uint16 bufferFrames(int freq)
{
    Uint16 frames = 256;
    while (frames < 4096 && frames * 50 < freq)
        frames *= 2;
    return frames;
}

class Player;

// One open device and the sound it plays. The audio thread touches only its
// own voice, under the device lock, so a device can be closed in the
// background while the next one starts.
struct Voice
{
    Player *owner = nullptr;
    SDL_AudioSpec format{};
    std::vector<Uint8> samples;
    std::size_t pos = 0;
    bool loop = false;
    bool playing = false;
    std::uint64_t generation = 0;
};

class Player
{
public:
    ~Player() { shutdown(); }

    static Player &instance()
    {
        static Player player;
        return player;
    }

    BOOL play(const char *name, DWORD flags)
    {
        std::unique_lock call(m_call);
        const std::uint64_t generation = nextGeneration();
        if (!name) {
            retireDevice();
            return 1;
        }
        if (!ready() || SDL_GetNumAudioDevices(0) <= 0) {
            if (m_ready)
                qCDebug(lcSound, "no audio output device");
            restartAudio();
            return 0;
        }
        if (flags & SND_ASYNC) {
            // Reading and decoding a long file takes a while, and the caller
            // (the clock's own thread) must not wait for it.
            if (!m_loader.joinable())
                m_loader = std::thread([this] { loadInBackground(); });
            {
                std::lock_guard load(m_loadMutex);
                m_request = Request{name, flags, generation};
            }
            m_loadWake.notify_one();
            return 1;
        }
        DecodedSound sound;
        // Decode before touching the device, so the old sound plays on until
        // the new one takes its place.
        if (!loadSound(name, flags, sound)) {
            retireDevice();
            return 0;
        }
        const double seconds = sound.seconds();
        if (!start(std::move(sound), false, generation)) {
            restartAudio();
            return 0;
        }
        const double tail = double(m_voice->format.samples) / m_voice->format.freq;
        call.unlock();
        waitUntilHeard(generation, seconds, tail);
        return 1;
    }

    UINT deviceCount()
    {
        std::lock_guard call(m_call);
        if (!ready())
            return 0;
        return UINT(std::max(0, SDL_GetNumAudioDevices(0)));
    }

    void shutdown()
    {
        stopLoader();
        std::lock_guard call(m_call);
        nextGeneration();
        retireDevice();
        joinCloser();
        if (m_initTried)
            SDL_Quit();
        m_initTried = false;
        m_ready = false;
    }

    // The audio thread; SDL holds the device lock around it.
    static void SDLCALL fill(void *userdata, Uint8 *stream, int length)
    {
        Voice &v = *static_cast<Voice *>(userdata);
        const std::size_t wanted = std::size_t(length);
        std::size_t written = 0;
        while (written < wanted && v.playing) {
            const std::size_t n = std::min(wanted - written, v.samples.size() - v.pos);
            std::memcpy(stream + written, v.samples.data() + v.pos, n);
            v.pos += n;
            written += n;
            if (v.pos == v.samples.size()) {
                if (v.loop) {
                    v.pos = 0;
                } else {
                    v.playing = false;
                    v.owner->finished(v.generation);
                }
            }
        }
        if (written < wanted)
            std::memset(stream + written, v.format.silence, wanted - written);
    }

private:
    static void atExit() { instance().shutdown(); }

    struct Request
    {
        std::string name;
        DWORD flags;
        std::uint64_t generation;
    };

    // The background player's thread: decodes the latest request and starts
    // it, unless another call has come in the meantime.
    void loadInBackground()
    {
        for (;;) {
            Request request;
            {
                std::unique_lock load(m_loadMutex);
                m_loadWake.wait(load, [this] { return m_stopLoading || m_request; });
                if (m_stopLoading)
                    return;
                request = std::move(*m_request);
                m_request.reset();
            }
            DecodedSound sound;
            const bool found = loadSound(request.name.c_str(), request.flags, sound);
            std::lock_guard call(m_call);
            if (!isCurrent(request.generation))
                continue;
            if (!found) {
                retireDevice();
                continue;
            }
            if (!start(std::move(sound), request.flags & SND_LOOP, request.generation))
                restartAudio();
        }
    }

    // Not under m_call: the loader may be waiting for it.
    void stopLoader()
    {
        {
            std::lock_guard load(m_loadMutex);
            m_stopLoading = true;
            m_request.reset();
        }
        m_loadWake.notify_all();
        if (m_loader.joinable())
            m_loader.join();
        std::lock_guard load(m_loadMutex);
        m_stopLoading = false;
    }

    bool isCurrent(std::uint64_t generation)
    {
        std::lock_guard done(m_doneMutex);
        return m_generation == generation;
    }

    // SDL's audio starts on first use. If it cannot start (no sound server
    // yet, a headset not plugged in), the call is a quiet no-op and the next
    // one tries again: the alarm must not stay silent for the rest of the run.
    bool ready()
    {
        if (m_ready)
            return true;
        m_initTried = true;
        if (!m_atExitSet) {
            std::atexit(atExit);
            m_atExitSet = true;
        }
        // A file cut short is unusable, not a shorter sound.
        SDL_SetHint(SDL_HINT_WAVE_TRUNCATION, "strict");
        // SDL would otherwise take SIGINT and SIGTERM for an event loop we
        // don't run, and the program would no longer end when asked to.
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        m_ready = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
        if (!m_ready)
            qCDebug(lcSound, "no audio driver could start: %s", SDL_GetError());
        return m_ready;
    }

    // No device could play: leave SDL's audio, so that the next call starts
    // it again and picks whichever driver and device work by then.
    void restartAudio()
    {
        retireDevice();
        joinCloser();
        if (m_ready)
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
        m_ready = false;
    }

    std::uint64_t nextGeneration()
    {
        std::lock_guard done(m_doneMutex);
        ++m_generation;
        m_done.notify_all();
        return m_generation;
    }

    void finished(std::uint64_t generation)
    {
        std::lock_guard done(m_doneMutex);
        m_finished = generation;
        m_done.notify_all();
    }

    bool start(DecodedSound sound, bool loop, std::uint64_t generation)
    {
        // A device lost under us (server restarted, headset unplugged) is
        // opened afresh rather than fed in silence.
        const bool alive = m_device && SDL_GetAudioDeviceStatus(m_device) != SDL_AUDIO_STOPPED;
        if (alive && sameFormat(m_voice->format, sound.format)) {
            SDL_LockAudioDevice(m_device);
            m_voice->samples.swap(sound.samples);
            m_voice->pos = 0;
            m_voice->loop = loop;
            m_voice->playing = true;
            m_voice->generation = generation;
            SDL_UnlockAudioDevice(m_device);
            return true; // the old samples are freed outside the lock
        }
        retireDevice();
        // SDL keeps one list of open devices; let the last close finish
        // before it changes again.
        joinCloser();
        auto voice = std::make_unique<Voice>();
        voice->owner = this;
        voice->samples.swap(sound.samples);
        voice->loop = loop;
        voice->playing = true;
        voice->generation = generation;
        // The device takes the sound's own format; SDL converts behind it
        // when the hardware wants another.
        SDL_AudioSpec want = sound.format;
        want.samples = bufferFrames(want.freq);
        want.callback = fill;
        want.userdata = voice.get();
        const SDL_AudioDeviceID device = SDL_OpenAudioDevice(nullptr, 0, &want, &voice->format, 0);
        if (device == 0) {
            qCDebug(lcSound, "the audio device did not open: %s", SDL_GetError());
            return false;
        }
        m_device = device;
        m_voice = std::move(voice);
        SDL_PauseAudioDevice(m_device, 0);
        return true;
    }

    // Silences the device at once and closes it in the background: closing
    // waits for the audio thread, which may sit in the sound server for a
    // while, and a stop should not.
    void retireDevice()
    {
        if (!m_device)
            return;
        SDL_LockAudioDevice(m_device);
        m_voice->playing = false;
        SDL_UnlockAudioDevice(m_device);
        joinCloser();
        m_closer = std::thread([device = m_device, voice = std::move(m_voice)]() mutable {
            SDL_CloseAudioDevice(device);
            voice.reset();
        });
        m_device = 0;
    }

    void joinCloser()
    {
        if (m_closer.joinable())
            m_closer.join();
    }

    // A waiting play returns when its last samples have left the device's
    // buffer, or at once when another call replaces it. The limit guards
    // against a device that stops taking samples.
    void waitUntilHeard(std::uint64_t generation, double seconds, double tail)
    {
        using namespace std::chrono;
        std::unique_lock done(m_doneMutex);
        const auto limit = duration<double>(seconds + tail + 2.0);
        m_done.wait_for(done, limit,
                        [&] { return m_generation != generation || m_finished == generation; });
        if (m_generation == generation)
            m_done.wait_for(done, duration<double>(tail),
                            [&] { return m_generation != generation; });
    }

    std::mutex m_call; // one caller at a time

    std::thread m_loader;
    std::mutex m_loadMutex;
    std::condition_variable m_loadWake;
    std::optional<Request> m_request;
    bool m_stopLoading = false;
    bool m_initTried = false;
    bool m_ready = false;
    bool m_atExitSet = false;
    SDL_AudioDeviceID m_device = 0;
    std::unique_ptr<Voice> m_voice;
    std::thread m_closer;

    // Each call is a generation; a waiting caller watches for its own to
    // finish or be replaced.
    std::mutex m_doneMutex;
    std::condition_variable m_done;
    std::uint64_t m_generation = 0;
    std::uint64_t m_finished = 0;
};

} // namespace

extern "C" Q_DECL_EXPORT const SoundModule *vellwake_sound_module()
{
    static const SoundModule module{
            [](LPCSTR name, DWORD flags) { return Player::instance().play(name, flags); },
            [] { return Player::instance().deviceCount(); }, [] { Player::instance().shutdown(); }};
    return &module;
}
