// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#include "sound/SoundFile.h"

#include "base/ProgramFiles.h"
#include "sound/SoundLog.h"

#include "DefaultSound.h"

#include <QFile>

#include <sys/stat.h>

#include <algorithm>
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

bool decodeDefault(DecodedSound &out)
{
    return decode(SDL_RWFromConstMem(defaultSoundWav, sizeof defaultSoundWav), out);
}

bool isRegularFile(const std::string &path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string findFile(const std::string &name)
{
    if (name.empty())
        return {};
    if (name.find('/') != std::string::npos)
        return isRegularFile(name) ? name : std::string();
    // The current directory first: a user's own sound there wins.
    const QString bare = QFile::decodeName(name.c_str());
    const QStringList candidates = QStringList{QStringLiteral("./") + bare}
            + programFileCandidates(bare, QStringLiteral(VELLWAKE_DATADIR));
    for (const QString &candidate : candidates) {
        const std::string path = QFile::encodeName(candidate).toStdString();
        if (isRegularFile(path))
            return path;
    }
    return {};
}

bool decodeFile(const char *name, DecodedSound &out)
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
    return true;
}

} // namespace

double DecodedSound::seconds() const
{
    const double bytesPerSecond
            = double(SDL_AUDIO_BITSIZE(format.format) / 8) * format.channels * format.freq;
    return double(samples.size()) / bytesPerSecond;
}

bool loadSound(const char *name, DWORD flags, DecodedSound &out)
{
    if (flags & SND_FILENAME) {
        if (decodeFile(name, out))
            return true;
    } else if (isSystemAlias(name)) {
        // Every system sound is the default sound here.
        return decodeDefault(out);
    } else if (!(flags & SND_ALIAS)) {
        // No type given: an alias first, then a file.
        if (decodeFile(name, out))
            return true;
    }
    if (flags & SND_NODEFAULT)
        return false;
    qCDebug(lcSound, "%s: playing the built-in default sound instead", name);
    return decodeDefault(out);
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
