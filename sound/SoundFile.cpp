// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#include "sound/SoundFile.h"

#include "base/ProgramFiles.h"
#include "sound/SoundLog.h"

#include "DefaultSound.h"

#include <QFile>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>

namespace {

// Decodes a whole WAV; frees `rw`. A file with no complete frame fails, so
// that it falls back to the default sound like any other unusable file.
bool decode(SDL_RWops *rw, DecodedSound &out)
{
    if (!rw)
        return false;
    SDL_AudioSpec format;
    Uint8 *buffer = nullptr;
    Uint32 length = 0;
    if (!SDL_LoadWAV_RW(rw, 1, &format, &buffer, &length))
        return false;
    const Uint32 frame = SDL_AUDIO_BITSIZE(format.format) / 8 * format.channels;
    if (frame > 0)
        length -= length % frame;
    const bool ok = frame > 0 && length > 0;
    if (ok) {
        out.format = format;
        out.samples.assign(buffer, buffer + length);
    } else {
        SDL_SetError("no complete frame of sound");
    }
    SDL_FreeWAV(buffer);
    return ok;
}

// Converts the whole sound at once with SDL's own converter: rate, sample
// format and channels. (Its stream converter keeps the last few
// milliseconds of a resampled sound back.)
bool convert(DecodedSound &sound, const SDL_AudioSpec &to)
{
    const SDL_AudioSpec &from = sound.format;
    SDL_AudioCVT cvt;
    const int built = SDL_BuildAudioCVT(&cvt, from.format, from.channels, from.freq, to.format,
                                        to.channels, to.freq);
    if (built < 0)
        return false;
    if (built > 0) {
        const std::size_t length = sound.samples.size();
        if (length > std::size_t(INT_MAX / cvt.len_mult)) {
            SDL_SetError("too long to convert");
            return false;
        }
        sound.samples.resize(length * std::size_t(cvt.len_mult));
        cvt.buf = sound.samples.data();
        cvt.len = int(length);
        if (SDL_ConvertAudio(&cvt) < 0)
            return false;
        const int frame = SDL_AUDIO_BITSIZE(to.format) / 8 * to.channels;
        sound.samples.resize(std::size_t(cvt.len_cvt - cvt.len_cvt % frame));
        sound.samples.shrink_to_fit();
        if (sound.samples.empty()) {
            SDL_SetError("no complete frame of sound");
            return false;
        }
    }
    sound.format.freq = to.freq;
    sound.format.format = to.format;
    sound.format.channels = to.channels;
    return true;
}

bool decodeDefault(const SDL_AudioSpec &device, DecodedSound &out)
{
    return decode(SDL_RWFromConstMem(defaultSoundWav, sizeof defaultSoundWav), out)
            && convert(out, device);
}

bool isRegularFile(const std::string &path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The current directory may be a shared one where anybody can leave a file
// named like the alarm's.
bool isOwnFile(const std::string &path)
{
    struct stat st;
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    if (st.st_uid == ::geteuid())
        return true;
    qCDebug(lcSound, "%s: passed over, as another user owns it", path.c_str());
    return false;
}

std::string findFile(const std::string &name)
{
    if (name.empty())
        return {};
    if (name.find('/') != std::string::npos)
        return isRegularFile(name) ? name : std::string();
    // The current directory first: a user's own sound there wins.
    const std::string here = "./" + name;
    if (isOwnFile(here))
        return here;
    const QString bare = QFile::decodeName(name.c_str());
    for (const QString &candidate : programFileCandidates(bare, QStringLiteral(VELLWAKE_DATADIR))) {
        const std::string path = QFile::encodeName(candidate).toStdString();
        if (isRegularFile(path))
            return path;
    }
    return {};
}

bool decodeFile(const char *name, const SDL_AudioSpec &device, DecodedSound &out)
{
    const std::string path = findFile(name);
    if (path.empty()) {
        if (std::strchr(name, '/'))
            qCDebug(lcSound, "%s: no such file", name);
        else
            qCDebug(lcSound, "%s: not in the current directory, beside the program or in %s", name,
                    VELLWAKE_DATADIR);
        return false;
    }
    if (!decode(SDL_RWFromFile(path.c_str(), "rb"), out)) {
        qCDebug(lcSound, "%s: not a sound that can be played: %s", path.c_str(), SDL_GetError());
        return false;
    }
    if (!convert(out, device)) {
        qCDebug(lcSound, "%s: cannot be converted for the output: %s", path.c_str(),
                SDL_GetError());
        return false;
    }
    return true;
}

} // namespace

bool loadSound(const char *name, DWORD flags, const SDL_AudioSpec &device, DecodedSound &out)
{
    if (flags & SND_FILENAME) {
        if (decodeFile(name, device, out))
            return true;
    } else if (isSystemAlias(name)) {
        // Every system sound is the default sound here.
        return decodeDefault(device, out);
    } else if (!(flags & SND_ALIAS)) {
        // No type given: an alias first, then a file.
        if (decodeFile(name, device, out))
            return true;
    }
    if (flags & SND_NODEFAULT)
        return false;
    qCDebug(lcSound, "%s: playing the built-in default sound instead", name);
    return decodeDefault(device, out);
}

bool isSystemAlias(const char *name)
{
    static const char *const aliases[]
            = {"SystemDefault",  "SystemAsterisk", "SystemExclamation", "SystemHand",
               "SystemQuestion", "SystemStart",    "SystemExit",        ".Default"};
    if (!name)
        return false;
    return std::any_of(std::begin(aliases), std::end(aliases),
                       [name](const char *alias) { return SDL_strcasecmp(name, alias) == 0; });
}
