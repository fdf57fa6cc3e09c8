// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#pragma once

// Why an alarm could not be heard at all, as far as the sound layer knows.
enum class SoundProblem {
    None,
    NoAudioModule, // the part of the program that plays sound cannot be loaded
    NoOutputDevice, // nothing to play on: no sound server, card or headset
};
