// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#pragma once

// The two multimedia functions the sound player calls, with their flags.
// On Windows they are the system's own; elsewhere the sound layer in this
// folder provides them with the same signatures and effects.
#ifdef _WIN32
#include <windows.h>
#include <mmsystem.h>
#else
#include <cstdint>

using BOOL = int;
using UINT = unsigned int;
using DWORD = std::uint32_t;
using HMODULE = void *;
using LPCSTR = const char *;

constexpr BOOL FALSE = 0;
constexpr BOOL TRUE = 1;

constexpr DWORD SND_SYNC = 0x0000;
constexpr DWORD SND_ASYNC = 0x0001;
constexpr DWORD SND_NODEFAULT = 0x0002;
constexpr DWORD SND_LOOP = 0x0008;
constexpr DWORD SND_ALIAS = 0x10000;
constexpr DWORD SND_FILENAME = 0x20000;

BOOL PlaySoundA(LPCSTR pszSound, HMODULE hmod, DWORD fdwSound);
UINT waveOutGetNumDevs();
#endif
