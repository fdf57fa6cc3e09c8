// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#pragma once

// The sound player's choice of platform flags and its device-count rule,
// free of Qt so that the Windows cross-check can build them alone.

#include "sound/winmm.h"

#include <cstdint>
#include <stdexcept>

namespace SoundFlags {

// A waiting play cannot loop: the loop request is dropped then.
constexpr DWORD playFile(bool loopPlaying, bool aSync)
{
    if (!aSync)
        return SND_FILENAME | SND_SYNC;
    return loopPlaying ? (SND_FILENAME | SND_LOOP | SND_ASYNC) : (SND_FILENAME | SND_ASYNC);
}

// Without a type flag the platform tries the name as an alias first, then as
// a file; the waiting play asks for an alias only.
constexpr DWORD playSystem(bool aSync)
{
    return aSync ? SND_ASYNC : SND_ALIAS;
}

constexpr DWORD stop = 0;

// The interface's Integer is 16 bits signed; a larger count is an error
// rather than a wrapped number.
inline std::int16_t deviceCount(UINT count)
{
    if (count > 32767)
        throw std::overflow_error("Overflow");
    return std::int16_t(count);
}

} // namespace SoundFlags
