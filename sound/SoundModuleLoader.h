// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#pragma once

#include "sound/SoundProblem.h"

#include <QString>

#include <functional>

struct SoundModule;

// The audio module's loader and the one thread that talks to it. The program
// does not link the audio library itself: the sound thread loads the module
// that holds it, and makes every call into it, so that a sound server that
// hangs or goes away keeps no caller waiting. PlaySoundA and
// waveOutGetNumDevs on this platform hand their calls to that thread.
namespace SoundModuleLoader {

// Loads the audio module on the sound thread, so that the first sound finds
// it ready and the caller does not wait for it.
void loadInBackground();

// Asks whether sound can be played at all, and returns at once; the sound
// thread answers.
void checkOutput();
// What the last check or play found. Never waits.
SoundProblem outputProblem();

// Stops the sound, closes the device and leaves the audio library, waiting
// a few seconds at most. The next call starts afresh: it loads the module
// again and reads the audio library's environment (driver, output file)
// anew. The program's end does the same, so no sound outlives it.
void shutdown();

// Where the module comes from: null, or an error in `error`, when it cannot
// be had. The default loads vellwake-sound.so; tests hand in a module of
// their own. Takes effect after a shutdown(), which it does; an empty
// function puts the default back.
using ModuleSource = std::function<const SoundModule *(QString &error)>;
void setModuleSource(ModuleSource source);

} // namespace SoundModuleLoader
