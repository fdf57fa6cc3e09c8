// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#pragma once

#include "sound/SoundProblem.h"

#include <QString>

#include <cstdint>

// Plays one wave file, once or in a loop, in the background or not; plays a
// named system sound; stops; and tells whether a wave output device exists.
// It keeps no playback state: the platform holds what plays, and every call
// is one call into it.
class csSoundPlayerLibrary
{
public:
    // The interface's Boolean and Integer: 16 bits, True is -1 and any
    // non-zero value counts as True.
    using Boolean = std::int16_t;
    using Integer = std::int16_t;
    static constexpr Boolean True = -1;
    static constexpr Boolean False = 0;

    void playSoundFile(Boolean loopPlaying, Boolean aSync);
    void playSystemSound(const QString &systemSoundName, Boolean aSync);
    void stopPlay();
    // Both throw std::overflow_error for a device count above 32767.
    Boolean soundCardInstalled() const;
    Integer numberOfSoundCards() const;

    // Whether an alarm can be heard at all: checkSoundOutput() asks the sound
    // layer to look again and returns at once; soundProblem() is what it last
    // found, without waiting.
    void checkSoundOutput();
    SoundProblem soundProblem() const;

    // An empty text is refused with a message box; the old path stays.
    void setSoundPath(const QString &file);
    QString soundPath() const { return m_soundPath; }

private:
    QString m_soundPath; // null until a path is stored
};
