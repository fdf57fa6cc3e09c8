// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#include "sound/csSoundPlayerLibrary.h"

#include "sound/SoundFlags.h"
#include "sound/SoundPlatform.h"
#include "ui/MsgBox.h"

void csSoundPlayerLibrary::playSoundFile(Boolean loopPlaying, Boolean aSync)
{
    const DWORD flags = SoundFlags::playFile(loopPlaying != False, aSync != False);
    const QByteArray name = m_soundPath.toLocal8Bit();
    SoundPlatform::current().PlaySoundA(m_soundPath.isNull() ? nullptr : name.constData(), nullptr,
                                        flags);
}

void csSoundPlayerLibrary::playSystemSound(const QString &systemSoundName, Boolean aSync)
{
    const QByteArray name = systemSoundName.toLocal8Bit();
    SoundPlatform::current().PlaySoundA(name.constData(), nullptr,
                                        SoundFlags::playSystem(aSync != False));
}

void csSoundPlayerLibrary::stopPlay()
{
    SoundPlatform::current().PlaySoundA(nullptr, nullptr, SoundFlags::stop);
}

csSoundPlayerLibrary::Boolean csSoundPlayerLibrary::soundCardInstalled() const
{
    return SoundFlags::deviceCount(SoundPlatform::current().waveOutGetNumDevs()) > 0 ? True : False;
}

csSoundPlayerLibrary::Integer csSoundPlayerLibrary::numberOfSoundCards() const
{
    return SoundFlags::deviceCount(SoundPlatform::current().waveOutGetNumDevs());
}

void csSoundPlayerLibrary::checkSoundOutput()
{
    SoundPlatform::current().checkOutput();
}

SoundProblem csSoundPlayerLibrary::soundProblem() const
{
    return SoundPlatform::current().outputProblem();
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
