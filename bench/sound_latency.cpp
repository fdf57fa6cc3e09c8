// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
// How long the sound layer's calls take on this machine's sound device:
// stop, replace by a sound of the same and of another format, and a waiting
// play of a one-second file. Start it with the device you want to measure
// (SDL_AUDIODRIVER, PULSE_SERVER...).
#include "sound/winmm.h"

#include <QCoreApplication>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

template<typename F> double millis(F f)
{
    const auto start = Clock::now();
    f();
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void pause(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

std::string tone(const std::string &path, int rate, int channels, double seconds, double hz)
{
    const auto frames = std::uint32_t(rate * seconds);
    std::vector<char> wav;
    auto put = [&wav](std::uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            wav.push_back(char((v >> (8 * i)) & 0xff));
    };
    const std::uint32_t data = frames * 2 * std::uint32_t(channels);
    for (char c : std::string("RIFF"))
        wav.push_back(c);
    put(36 + data, 4);
    for (char c : std::string("WAVEfmt "))
        wav.push_back(c);
    put(16, 4);
    put(1, 2);
    put(std::uint32_t(channels), 2);
    put(std::uint32_t(rate), 4);
    put(std::uint32_t(rate * channels * 2), 4);
    put(std::uint32_t(channels * 2), 2);
    put(16, 2);
    for (char c : std::string("data"))
        wav.push_back(c);
    put(data, 4);
    for (std::uint32_t i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            put(std::uint16_t(std::int16_t(3000 * std::sin(6.283185307 * hz * i / rate))), 2);
    std::ofstream(path, std::ios::binary).write(wav.data(), std::streamsize(wav.size()));
    return path;
}

} // namespace

int main(int argc, char *argv[])
{
    // The sound layer finds its audio module beside the program.
    QCoreApplication app(argc, argv);
    const std::string dir = "/tmp/vellwake-latency-" + std::to_string(::getpid());
    std::filesystem::create_directories(dir);
    const std::string a = tone(dir + "/a.wav", 44100, 2, 2.0, 440);
    const std::string b = tone(dir + "/b.wav", 44100, 2, 2.0, 660);
    const std::string c = tone(dir + "/c.wav", 22050, 1, 2.0, 330);
    const std::string one = tone(dir + "/one.wav", 44100, 2, 1.0, 440);
    std::printf("devices: %u\n", waveOutGetNumDevs());

    constexpr int rounds = 10;
    double stop = 0, same = 0, other = 0;
    for (int i = 0; i < rounds; ++i) {
        PlaySoundA(a.c_str(), nullptr, SND_FILENAME | SND_ASYNC | SND_LOOP);
        pause(300);
        same += millis(
                [&] { PlaySoundA(b.c_str(), nullptr, SND_FILENAME | SND_ASYNC | SND_LOOP); });
        pause(200);
        other += millis(
                [&] { PlaySoundA(c.c_str(), nullptr, SND_FILENAME | SND_ASYNC | SND_LOOP); });
        pause(200);
        stop += millis([&] { PlaySoundA(nullptr, nullptr, 0); });
        pause(200);
    }
    const double waiting
            = millis([&] { PlaySoundA(one.c_str(), nullptr, SND_FILENAME | SND_SYNC); });
    std::printf("stop %.2f ms, replace (same format) %.2f ms, replace (other format) %.2f ms, "
                "mean of %d\nwaiting play of a 1 s file: %.1f ms\n",
                stop / rounds, same / rounds, other / rounds, rounds, waiting);
    std::filesystem::remove_all(dir);
    return 0;
}
