// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#include "sound/csSoundPlayerLibrary.h"

#include "sound/SoundPlatform.h"
#include "ui/MsgBox.h"

#include <stdexcept>

namespace {

csSoundPlayerLibrary::Integer toInteger(UINT count)
{
    if (count > 32767)
        throw std::overflow_error("Overflow");
    return csSoundPlayerLibrary::Integer(count);
}

} // namespace

void csSoundPlayerLibrary::playSoundFile(Boolean loopPlaying, Boolean aSync)
{
    DWORD flags = SND_FILENAME | SND_SYNC;
    if (aSync)
        flags = loopPlaying ? (SND_FILENAME | SND_LOOP | SND_ASYNC) : (SND_FILENAME | SND_ASYNC);
    // A waiting play cannot loop: the loop request is dropped then.
    const QByteArray name = m_soundPath.toLocal8Bit();
    SoundPlatform::current().PlaySoundA(m_soundPath.isNull() ? nullptr : name.constData(),
                                        nullptr, flags);
}

void csSoundPlayerLibrary::playSystemSound(const QString &systemSoundName, Boolean aSync)
{
    const QByteArray name = systemSoundName.toLocal8Bit();
    // Without a type flag the platform tries the name as an alias first, then
    // as a file; the waiting play asks for an alias only.
    SoundPlatform::current().PlaySoundA(name.constData(), nullptr, aSync ? SND_ASYNC : SND_ALIAS);
}

void csSoundPlayerLibrary::stopPlay()
{
    SoundPlatform::current().PlaySoundA(nullptr, nullptr, 0);
}

csSoundPlayerLibrary::Boolean csSoundPlayerLibrary::soundCardInstalled() const
{
    return toInteger(SoundPlatform::current().waveOutGetNumDevs()) > 0 ? True : False;
}

csSoundPlayerLibrary::Integer csSoundPlayerLibrary::numberOfSoundCards() const
{
    return toInteger(SoundPlatform::current().waveOutGetNumDevs());
}

void csSoundPlayerLibrary::setSoundPath(const QString &file)
{
    if (file.isEmpty()) {
        MsgBox::show(QStringLiteral("No path or valid path been selected"), MsgBox::OkOnly,
                     MsgBox::Critical, QStringLiteral(" Need to select a Valid Path."));
        return;
    }
    m_soundPath = file;
}
