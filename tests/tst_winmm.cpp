// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
// What only the system's own sound functions can show, run under wine by
// tools/ci-windows-sound (the flag choice and the device-count rule are
// tst_sound's):
//   tst_winmm playback   a background play returns and plays on until
//                        stopped; a waiting play returns once heard; the
//                        output check finds the device (needs a device)
//   tst_winmm no-device  no wave output device: a count of 0, the output
//                        check says so, and no call blocks
// QtTest is not in the cross-build: it prints one line per failed check and
// a closing "N passed, N failed".
#include "sound/SoundFlags.h"
#include "sound/SoundPlatform.h"

#include <cstdio>
#include <string>

// The system's own constants are the values the player was written for.
static_assert(SND_SYNC == 0x0000 && SND_ASYNC == 0x0001 && SND_NODEFAULT == 0x0002);
static_assert(SND_LOOP == 0x0008 && SND_ALIAS == 0x10000 && SND_FILENAME == 0x20000);

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

// The program's own sounds, copied beside the test: 0.4 s and 2 s.
constexpr char shortSound[] = "default.wav";
constexpr char longSound[] = "alarm.wav";

// Whether a sound of this process plays now: the system refuses a play that
// must not stop one.
bool playing()
{
    if (!::PlaySoundA(shortSound, nullptr, SND_FILENAME | SND_ASYNC | SND_NOSTOP))
        return true;
    ::PlaySoundA(nullptr, nullptr, 0);
    return false;
}

void playback()
{
    SoundPlatform &sound = SoundPlatform::current();
    const UINT devices = sound.waveOutGetNumDevs();
    CHECK(devices > 0);
    sound.checkOutput();
    CHECK(sound.outputProblem() == SoundProblem::None);

    // Played once in the background: the call returns while it plays, and
    // it ends by itself (polled for ten seconds at most).
    CHECK(sound.PlaySoundA(shortSound, nullptr, SoundFlags::playFile(false, true)));
    int polls = 0;
    for (; playing() && polls < 1000; ++polls)
        Sleep(10);
    CHECK(polls > 0 && polls < 1000);

    // Looped: still playing for several times as long as the sound played
    // once took to end, and not after a stop.
    CHECK(sound.PlaySoundA(shortSound, nullptr, SoundFlags::playFile(true, true)));
    bool throughout = true;
    for (int i = 0; i < 4 * polls + 20; ++i, Sleep(10))
        throughout = throughout && playing();
    CHECK(throughout);
    sound.PlaySoundA(nullptr, nullptr, SoundFlags::stop);
    CHECK(!playing());

    // A waiting play returns once its sound has been heard.
    CHECK(sound.PlaySoundA(shortSound, nullptr, SoundFlags::playFile(true, false)));
    CHECK(!playing());
}

void noDevice()
{
    SoundPlatform &sound = SoundPlatform::current();
    CHECK(sound.waveOutGetNumDevs() == 0);
    CHECK(SoundFlags::deviceCount(sound.waveOutGetNumDevs()) == 0);
    sound.checkOutput();
    CHECK(sound.outputProblem() == SoundProblem::NoOutputDevice);
    // Each returns: a call that waited for a device would hang the test.
    sound.PlaySoundA(longSound, nullptr, SoundFlags::playFile(true, true));
    sound.PlaySoundA(longSound, nullptr, SoundFlags::playFile(false, false));
    sound.PlaySoundA("SystemAsterisk", nullptr, SoundFlags::playSystem(false));
    sound.PlaySoundA(nullptr, nullptr, SoundFlags::stop);
}

} // namespace

int main(int argc, char *argv[])
{
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "playback")
        playback();
    else if (mode == "no-device")
        noDevice();
    else {
        std::printf("usage: tst_winmm playback | no-device\n");
        return 2;
    }
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 && passed > 0 ? 0 : 1;
}
