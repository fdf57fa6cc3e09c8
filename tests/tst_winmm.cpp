// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
// The sound player's Windows side, run under wine:
//   tst_winmm flags      the flag values, the seam and the device-count rule
//   tst_winmm playback   background plays return at once, a waiting play
//                        lasts about the file's length (needs a device)
//   tst_winmm no-device  with no wave output device nothing blocks or fails
// It prints one line per failed check and a closing "N passed, N failed".
#include "sound/SoundFlags.h"
#include "sound/SoundPlatform.h"

#include <chrono>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

int passed = 0;
int failed = 0;

void check(bool ok, const char *what, int line)
{
    if (ok) {
        ++passed;
    } else {
        ++failed;
        std::printf("FAIL (line %d): %s\n", line, what);
    }
}
#define CHECK(cond) check((cond), #cond, __LINE__)

using Clock = std::chrono::steady_clock;

// Seconds a call takes.
template<typename F> double timed(F f)
{
    const auto start = Clock::now();
    f();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void sleepSeconds(double s)
{
    const auto until = Clock::now() + std::chrono::duration<double>(s);
    while (Clock::now() < until)
        Sleep(10);
}

// A quiet 440 Hz tone, 44.1 kHz 16-bit stereo.
std::string writeTone(const char *name, double seconds)
{
    const std::uint32_t frames = std::uint32_t(44100 * seconds);
    std::vector<char> wav;
    auto put = [&wav](std::uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            wav.push_back(char((v >> (8 * i)) & 0xff));
    };
    const std::uint32_t data = frames * 4;
    wav.insert(wav.end(), {'R', 'I', 'F', 'F'});
    put(36 + data, 4);
    wav.insert(wav.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put(16, 4);
    put(1, 2);
    put(2, 2);
    put(44100, 4);
    put(44100 * 4, 4);
    put(4, 2);
    put(16, 2);
    wav.insert(wav.end(), {'d', 'a', 't', 'a'});
    put(data, 4);
    for (std::uint32_t i = 0; i < frames; ++i) {
        const auto v = std::int16_t(3000 * std::sin(2 * 3.141592653589793 * 440 * i / 44100));
        put(std::uint16_t(v), 2);
        put(std::uint16_t(v), 2);
    }
    std::ofstream(name, std::ios::binary).write(wav.data(), std::streamsize(wav.size()));
    return name;
}

class Recorder final : public SoundPlatform
{
public:
    BOOL PlaySoundA(LPCSTR name, HMODULE module, DWORD flags) override
    {
        calls.push_back({name ? std::optional<std::string>(name) : std::nullopt, module, flags});
        return TRUE;
    }
    UINT waveOutGetNumDevs() override { return devices; }
    struct Call
    {
        std::optional<std::string> name;
        HMODULE module;
        DWORD flags;
    };
    std::vector<Call> calls;
    UINT devices = 0;
};

void flags()
{
    // The system's own constants are the values the player was written for.
    static_assert(SND_SYNC == 0x0000 && SND_ASYNC == 0x0001 && SND_NODEFAULT == 0x0002);
    static_assert(SND_LOOP == 0x0008 && SND_ALIAS == 0x10000 && SND_FILENAME == 0x20000);

    const struct
    {
        bool loop, aSync;
        DWORD flags;
    } files[] = {{true, true, 0x20009},
                 {true, false, 0x20000},
                 {false, true, 0x20001},
                 {false, false, 0x20000}};
    for (const auto &row : files)
        CHECK(SoundFlags::playFile(row.loop, row.aSync) == row.flags);
    CHECK(SoundFlags::playSystem(true) == 0x1);
    CHECK(SoundFlags::playSystem(false) == 0x10000);
    CHECK(SoundFlags::stop == 0);

    for (UINT n : {0u, 1u, 2u, 32767u})
        CHECK(SoundFlags::deviceCount(n) == std::int16_t(n));
    for (UINT n : {32768u, 65536u, UINT(UINT_MAX)}) {
        bool threw = false;
        try {
            SoundFlags::deviceCount(n);
        } catch (const std::overflow_error &) {
            threw = true;
        }
        CHECK(threw);
    }

    // The seam hands calls to whatever is installed, and back to the system.
    Recorder recorder;
    recorder.devices = 7;
    SoundPlatform::setCurrent(&recorder);
    SoundPlatform::current().PlaySoundA("alarm.wav", nullptr, SoundFlags::playFile(true, true));
    SoundPlatform::current().PlaySoundA(nullptr, nullptr, SoundFlags::stop);
    CHECK(SoundPlatform::current().waveOutGetNumDevs() == 7);
    SoundPlatform::setCurrent(nullptr);
    CHECK(recorder.calls.size() == 2);
    CHECK(recorder.calls[0].name == std::optional<std::string>("alarm.wav"));
    CHECK(recorder.calls[0].flags == 0x20009);
    CHECK(!recorder.calls[1].name && recorder.calls[1].flags == 0);
    CHECK(&SoundPlatform::current() != &recorder);
    std::printf("wave output devices: %u\n", SoundPlatform::current().waveOutGetNumDevs());
}

void playback()
{
    SoundPlatform &sound = SoundPlatform::current();
    const UINT devices = sound.waveOutGetNumDevs();
    std::printf("wave output devices: %u\n", devices);
    CHECK(devices > 0);
    if (devices == 0)
        return;
    const std::string tone = writeTone("vellwake-tone-1s.wav", 1.0);
    const char *name = tone.c_str();

    BOOL ok = FALSE;
    const double async = timed(
            [&] { ok = sound.PlaySoundA(name, nullptr, SoundFlags::playFile(false, true)); });
    CHECK(ok);
    CHECK(async < 0.3);
    const double stop = timed([&] { sound.PlaySoundA(nullptr, nullptr, SoundFlags::stop); });
    CHECK(stop < 0.3);

    const double loop = timed(
            [&] { ok = sound.PlaySoundA(name, nullptr, SoundFlags::playFile(true, true)); });
    CHECK(ok);
    CHECK(loop < 0.3);
    sleepSeconds(1.5); // past the end of the file: still looping
    const double replace = timed(
            [&] { ok = sound.PlaySoundA(name, nullptr, SoundFlags::playFile(false, true)); });
    CHECK(ok);
    const double stopLoop = timed([&] { sound.PlaySoundA(nullptr, nullptr, SoundFlags::stop); });

    // A waiting play of a looped request plays once, for the file's length.
    const double sync = timed(
            [&] { ok = sound.PlaySoundA(name, nullptr, SoundFlags::playFile(true, false)); });
    CHECK(ok);
    CHECK(sync > 0.8);
    CHECK(sync < 3.0);
    std::printf("async play %.1f ms, stop %.1f ms, looped play %.1f ms, replace %.1f ms, "
                "stop of a loop %.1f ms, waiting play of a 1 s file %.3f s\n",
                async * 1000, stop * 1000, loop * 1000, replace * 1000, stopLoop * 1000, sync);
}

void noDevice()
{
    SoundPlatform &sound = SoundPlatform::current();
    CHECK(sound.waveOutGetNumDevs() == 0);
    CHECK(SoundFlags::deviceCount(sound.waveOutGetNumDevs()) == 0);
    const std::string tone = writeTone("vellwake-tone-2s.wav", 2.0);
    const double spent = timed([&] {
        sound.PlaySoundA(tone.c_str(), nullptr, SoundFlags::playFile(true, true));
        sound.PlaySoundA(tone.c_str(), nullptr, SoundFlags::playFile(false, false));
        sound.PlaySoundA("SystemAsterisk", nullptr, SoundFlags::playSystem(false));
        sound.PlaySoundA(nullptr, nullptr, SoundFlags::stop);
    });
    std::printf("four calls without a device: %.1f ms\n", spent * 1000);
    CHECK(spent < 1.5); // a two-second waiting play did not wait
}

} // namespace

int main(int argc, char *argv[])
{
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "flags")
        flags();
    else if (mode == "playback")
        playback();
    else if (mode == "no-device")
        noDevice();
    else {
        std::printf("usage: tst_winmm flags | playback | no-device\n");
        return 2;
    }
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 && passed > 0 ? 0 : 1;
}
