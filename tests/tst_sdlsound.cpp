// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
// The SDL sound layer, heard through SDL's disk driver: the device writes
// every sample it plays to a file, so the tests read exactly what was heard.
#include "sound/SdlSound.h"
#include "sound/csSoundPlayerLibrary.h"
#include "sound/winmm.h"

#include <SDL.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <csignal>
#include <cstdlib>
#include <thread>

using Sound = csSoundPlayerLibrary;

namespace {

// A WAV file around raw sample bytes; `declared` lets a test lie about the
// data size to make a truncated file.
QByteArray wavFile(int rate, int channels, int bits, int tag, const QByteArray &data,
                   qint64 declared = -1)
{
    QByteArray out;
    auto u32 = [&out](quint32 v) {
        for (int i = 0; i < 4; ++i)
            out.append(char((v >> (8 * i)) & 0xff));
    };
    auto u16 = [&out](quint16 v) {
        out.append(char(v & 0xff));
        out.append(char(v >> 8));
    };
    const quint32 size = declared < 0 ? quint32(data.size()) : quint32(declared);
    out.append("RIFF");
    u32(36 + size);
    out.append("WAVEfmt ");
    u32(16);
    u16(quint16(tag));
    u16(quint16(channels));
    u32(quint32(rate));
    u32(quint32(rate * channels * bits / 8));
    u16(quint16(channels * bits / 8));
    u16(quint16(bits));
    out.append("data");
    u32(size);
    out.append(data);
    return out;
}

// 16-bit samples that are never zero and carry the given sign, so a sound
// can be told from silence and from another sound at every sample.
QByteArray pattern16(int frames, int channels, int sign)
{
    QByteArray out;
    for (int i = 0; i < frames * channels; ++i) {
        const qint16 v = qint16(sign * (300 + (i * 37) % 20000));
        out.append(char(v & 0xff));
        out.append(char((v >> 8) & 0xff));
    }
    return out;
}

QByteArray wav16(int rate, int channels, int frames, int sign)
{
    return wavFile(rate, channels, 16, 1, pattern16(frames, channels, sign));
}

// The samples SDL decodes from a WAV file, as the device would get them.
QByteArray decoded(const QByteArray &file, int *silence = nullptr)
{
    SDL_AudioSpec format;
    Uint8 *buffer = nullptr;
    Uint32 length = 0;
    if (!SDL_LoadWAV_RW(SDL_RWFromConstMem(file.constData(), int(file.size())), 1, &format, &buffer,
                        &length))
        return {};
    QByteArray pcm(reinterpret_cast<const char *>(buffer), qsizetype(length));
    SDL_FreeWAV(buffer);
    if (silence)
        *silence = format.format == AUDIO_U8 ? 0x80 : 0;
    return pcm;
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

bool silent(const QByteArray &bytes, int silence)
{
    return std::all_of(bytes.begin(), bytes.end(),
                       [silence](char c) { return uchar(c) == silence; });
}

// Drops the whole frames of zeros the device writes before a sound starts.
QByteArray afterLeadingSilence(const QByteArray &out, int frameBytes)
{
    qsizetype i = 0;
    while (i + frameBytes <= out.size() && silent(out.mid(i, frameBytes), 0))
        i += frameBytes;
    return out.mid(i);
}

// `bytes` is the start of `pcm` played over and over.
bool repeats(const QByteArray &bytes, const QByteArray &pcm)
{
    for (qsizetype i = 0; i < bytes.size(); i += pcm.size()) {
        const QByteArray part = bytes.mid(i, pcm.size());
        if (part != pcm.left(part.size()))
            return false;
    }
    return true;
}

qint16 sampleAt(const QByteArray &bytes, qsizetype index)
{
    return qint16(quint16(uchar(bytes[2 * index])) | quint16(uchar(bytes[2 * index + 1]) << 8));
}

} // namespace

class TestSdlSound : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_out;
    QString m_exeFile;
    QByteArray m_defaultPcm;
    Sound m_player;

    QString fixture(const QString &name, const QByteArray &bytes)
    {
        const QString path = m_dir.filePath(name);
        return writeFile(path, bytes) ? path : QString();
    }
    // What the device wrote, once it is closed and its file complete.
    QByteArray output() const
    {
        SdlSound::shutdown();
        return readFile(m_out);
    }

    void playFile(const QString &path, bool loop, bool aSync)
    {
        m_player.setSoundPath(path);
        m_player.playSoundFile(loop ? Sound::True : Sound::False,
                               aSync ? Sound::True : Sound::False);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        // The disk driver announces itself on every open; that is no news here.
        SDL_LogSetOutputFunction([](void *, int, SDL_LogPriority, const char *) {}, nullptr);
        m_defaultPcm = decoded(readFile(QStringLiteral(VELLWAKE_SOURCE_DIR "/assets/default.wav")));
        QVERIFY(m_defaultPcm.size() > 1000);
    }

    void init()
    {
        // Each test gets a fresh device and output file.
        SdlSound::shutdown();
        m_out = m_dir.filePath(QStringLiteral("heard.raw"));
        QFile::remove(m_out);
        qputenv("SDL_AUDIODRIVER", "disk");
        qputenv("SDL_DISKAUDIOFILE", QFile::encodeName(m_out));
        QDir::setCurrent(m_dir.path());
    }

    void cleanup()
    {
        SdlSound::shutdown();
        if (!m_exeFile.isEmpty())
            QFile::remove(m_exeFile);
        m_exeFile.clear();
    }

    void diskDriverIsOneDevice()
    {
        QCOMPARE(waveOutGetNumDevs(), 1u);
        QCOMPARE(m_player.numberOfSoundCards(), Sound::Integer(1));
        QCOMPARE(m_player.soundCardInstalled(), Sound::True);
    }

    void playingLeavesTerminationSignalsAlone()
    {
        // The program must still end on SIGTERM (logout, shutdown) once it has
        // rung. The test runner has handlers of its own: set the defaults a
        // program starts with while audio starts up, and put them back after.
        SdlSound::shutdown();
        struct sigaction defaults = {}, saved[2] = {};
        defaults.sa_handler = SIG_DFL;
        const int signals[2] = {SIGTERM, SIGINT};
        for (int i = 0; i < 2; ++i)
            sigaction(signals[i], &defaults, &saved[i]);
        playFile(fixture(QStringLiteral("short.wav"), wav16(44100, 2, 441, 1)), false, true);
        m_player.stopPlay();
        bool untouched[2];
        for (int i = 0; i < 2; ++i) {
            struct sigaction current = {};
            sigaction(signals[i], &saved[i], &current);
            untouched[i] = current.sa_handler == SIG_DFL;
        }
        QVERIFY(untouched[0]);
        QVERIFY(untouched[1]);
    }

    void loopRepeatsTheFileExactly()
    {
        const QByteArray file = wav16(44100, 2, 2205, 1);
        const QByteArray pcm = decoded(file);
        QElapsedTimer timer;
        timer.start();
        playFile(fixture(QStringLiteral("loop.wav"), file), true, true);
        QVERIFY(timer.elapsed() < 1000); // returned long before a tenth loop
        QThread::msleep(400);
        m_player.stopPlay();
        const QByteArray heard = afterLeadingSilence(output(), 4);
        QVERIFY2(heard.size() >= 3 * pcm.size(), qPrintable(QString::number(heard.size())));
        QVERIFY(repeats(heard, pcm));
    }

    void everyEndSilences_data()
    {
        QTest::addColumn<int>("how");
        QTest::newRow("stopPlay") << 0;
        QTest::newRow("play without a stored path") << 1;
        QTest::newRow("missing file, no default") << 2;
        QTest::newRow("unknown alias, no default") << 3;
    }
    void everyEndSilences()
    {
        QFETCH(int, how);
        const QByteArray file = wav16(44100, 2, 2205, 1);
        const QByteArray pcm = decoded(file);
        playFile(fixture(QStringLiteral("loop.wav"), file), true, true);
        QThread::msleep(200);
        Sound unset;
        switch (how) {
        case 0:
            m_player.stopPlay();
            break;
        case 1:
            unset.playSoundFile(Sound::True, Sound::True);
            break;
        case 2:
            PlaySoundA("no-such.wav", nullptr, SND_FILENAME | SND_ASYNC | SND_NODEFAULT);
            break;
        case 3:
            PlaySoundA("NoSuchSound", nullptr, SND_ALIAS | SND_ASYNC | SND_NODEFAULT);
            break;
        }
        QThread::msleep(250);
        const QByteArray heard = afterLeadingSilence(output(), 4);
        // The loop, cut anywhere, then nothing but silence.
        qsizetype k = 0;
        while (k < heard.size() && heard[k] == pcm[k % pcm.size()])
            ++k;
        QVERIFY(k >= pcm.size());
        QVERIFY(silent(heard.mid(k), 0));
    }

    void replaceStartsTheNewSoundAtItsFirstFrame_data()
    {
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("channels");
        QTest::newRow("same format") << 44100 << 2;
        QTest::newRow("another format") << 22050 << 1;
    }
    void replaceStartsTheNewSoundAtItsFirstFrame()
    {
        QFETCH(int, rate);
        QFETCH(int, channels);
        const QByteArray first = decoded(wav16(44100, 2, 2205, 1));
        const QByteArray secondFile = wav16(rate, channels, 1500, -1);
        const QByteArray second = decoded(secondFile);
        playFile(fixture(QStringLiteral("first.wav"), wavFile(44100, 2, 16, 1, first)), true, true);
        QThread::msleep(200);
        playFile(fixture(QStringLiteral("second.wav"), secondFile), true, true);
        QThread::msleep(200);
        m_player.stopPlay();
        const QByteArray heard = afterLeadingSilence(output(), 2 * channels);
        // The first sound's samples are positive, the second's negative.
        qsizetype k = 0;
        while (2 * k < heard.size() && sampleAt(heard, k) > 0)
            ++k;
        const QByteArray before = heard.left(2 * k);
        const QByteArray after = heard.mid(2 * k);
        if (rate == 44100)
            QVERIFY(before.size() >= first.size()); // one device: the old sound, then the new
        QVERIFY(repeats(before, first));
        QVERIFY(after.size() >= 2 * second.size());
        QVERIFY(repeats(after, second));
    }

    void waitingPlayBlocksForTheWholeSoundOnce_data()
    {
        QTest::addColumn<bool>("loop");
        QTest::newRow("once") << false;
        QTest::newRow("loop requested") << true;
    }
    void waitingPlayBlocksForTheWholeSoundOnce()
    {
        QFETCH(bool, loop);
        const QByteArray file = wav16(44100, 2, 22050, 1); // half a second
        const QByteArray pcm = decoded(file);
        QElapsedTimer timer;
        timer.start();
        playFile(fixture(QStringLiteral("half.wav"), file), loop, false);
        const qint64 waited = timer.elapsed();
        QVERIFY2(waited >= 400, qPrintable(QString::number(waited)));
        QThread::msleep(100);
        m_player.stopPlay();
        const QByteArray heard = afterLeadingSilence(output(), 4);
        QCOMPARE(heard.left(pcm.size()), pcm);
        QVERIFY(silent(heard.mid(pcm.size()), 0)); // once, then silence
    }

    void unusableFilesPlayTheDefaultSound_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray good = wav16(44100, 2, 4410, 1);
        QTest::newRow("missing") << "missing.wav" << QByteArray();
        QTest::newRow("empty file") << "empty.wav" << QByteArray("");
        QTest::newRow("zero-length data") << "zero.wav" << wavFile(44100, 2, 16, 1, {});
        QTest::newRow("truncated") << "cut.wav" << good.left(good.size() / 2);
        QTest::newRow("data size beyond the file")
                << "short.wav" << wavFile(44100, 2, 16, 1, pattern16(100, 2, 1), 400000);
        QTest::newRow("corrupt header")
                << "bad.wav" << QByteArray("RIFF\x10\0\0\0WAVEjunkjunkjunk", 20);
        QTest::newRow("not a sound") << "text.wav" << QByteArray("just some words\n");
        QTest::newRow("unknown encoding")
                << "enc.wav" << wavFile(44100, 1, 16, 0x7777, pattern16(100, 1, 1));
        QTest::newRow("a directory") << "dir.wav" << QByteArray();
    }
    void unusableFilesPlayTheDefaultSound()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QString path = m_dir.filePath(name);
        if (name == QLatin1String("dir.wav"))
            QVERIFY(QDir(m_dir.path()).mkpath(name));
        else if (!bytes.isNull())
            QVERIFY(writeFile(path, bytes));
        playFile(path, false, false);
        m_player.stopPlay();
        const QByteArray out = output();
        const qsizetype at = out.indexOf(m_defaultPcm);
        QVERIFY2(at >= 0, qPrintable(QString::number(out.size())));
        QVERIFY(silent(out.left(at), 0));
        QVERIFY(silent(out.mid(at + m_defaultPcm.size()), 0));
    }

    void namesAndAliases_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<uint>("flags");
        QTest::addColumn<QString>("expected");
        QTest::newRow("known alias")
                << QByteArray("SystemAsterisk") << uint(SND_ALIAS) << "default";
        QTest::newRow("alias, any case")
                << QByteArray("systemhand") << uint(SND_ALIAS) << "default";
        QTest::newRow("known alias, no default")
                << QByteArray("SystemStart") << uint(SND_ALIAS | SND_NODEFAULT) << "default";
        QTest::newRow("unknown alias") << QByteArray("NoSuchSound") << uint(SND_ALIAS) << "default";
        QTest::newRow("unknown alias, no default")
                << QByteArray("NoSuchSound") << uint(SND_ALIAS | SND_NODEFAULT) << "none";
        QTest::newRow("file as alias") << QByteArray("tone.wav") << uint(SND_ALIAS) << "default";
        QTest::newRow("alias first, then file") << QByteArray("tone.wav") << 0u << "tone";
        QTest::newRow("alias first") << QByteArray("SystemExit") << 0u << "default";
        QTest::newRow("neither") << QByteArray("nothing.wav") << 0u << "default";
        QTest::newRow("neither, no default")
                << QByteArray("nothing.wav") << uint(SND_NODEFAULT) << "none";
        QTest::newRow("missing file, no default")
                << QByteArray("nothing.wav") << uint(SND_FILENAME | SND_NODEFAULT) << "none";
    }
    void namesAndAliases()
    {
        QFETCH(QByteArray, name);
        QFETCH(uint, flags);
        QFETCH(QString, expected);
        const QByteArray tone = wav16(44100, 2, 4410, 1);
        QVERIFY(!fixture(QStringLiteral("tone.wav"), tone).isEmpty());
        PlaySoundA(name.constData(), nullptr, flags); // waiting, once
        PlaySoundA(nullptr, nullptr, 0);
        const QByteArray out = output();
        if (expected == QLatin1String("none")) {
            QVERIFY(!QFile::exists(m_out)); // no device was even opened
            return;
        }
        const QByteArray pcm = expected == QLatin1String("tone") ? decoded(tone) : m_defaultPcm;
        const qsizetype at = out.indexOf(pcm);
        QVERIFY(at >= 0);
        QVERIFY(silent(out.left(at), 0));
        QVERIFY(silent(out.mid(at + pcm.size()), 0));
    }

    void bareNameLookup_data()
    {
        QTest::addColumn<bool>("inCurrent");
        QTest::addColumn<bool>("besideProgram");
        QTest::addColumn<QString>("expected");
        QTest::newRow("current directory") << true << false << "current";
        QTest::newRow("beside the program") << false << true << "program";
        QTest::newRow("current directory first") << true << true << "current";
        QTest::newRow("nowhere") << false << false << "default";
    }
    void bareNameLookup()
    {
        QFETCH(bool, inCurrent);
        QFETCH(bool, besideProgram);
        QFETCH(QString, expected);
        const QString name
                = QStringLiteral("vellwake-lookup-%1.wav").arg(QCoreApplication::applicationPid());
        const QByteArray current = wav16(44100, 2, 2000, 1);
        const QByteArray program = wav16(44100, 2, 2000, -1);
        QTemporaryDir cwd;
        QDir::setCurrent(cwd.path());
        if (inCurrent)
            QVERIFY(writeFile(cwd.filePath(name), current));
        if (besideProgram) {
            m_exeFile = QCoreApplication::applicationDirPath() + QLatin1Char('/') + name;
            QVERIFY(writeFile(m_exeFile, program));
        }
        PlaySoundA(QFile::encodeName(name).constData(), nullptr, SND_FILENAME);
        PlaySoundA(nullptr, nullptr, 0);
        const QByteArray pcm = expected == QLatin1String("current") ? decoded(current)
                : expected == QLatin1String("program")              ? decoded(program)
                                                                    : m_defaultPcm;
        const QByteArray out = output();
        const qsizetype at = out.indexOf(pcm);
        QVERIFY(at >= 0);
        QVERIFY(silent(out.left(at), 0));
        QVERIFY(silent(out.mid(at + pcm.size()), 0));
        QDir::setCurrent(m_dir.path());
    }

    void anyDecodableWavPlays_data()
    {
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("channels");
        QTest::addColumn<int>("bits");
        QTest::addColumn<int>("tag");
        QTest::newRow("8-bit mono 8 kHz") << 8000 << 1 << 8 << 1;
        QTest::newRow("16-bit stereo 44.1 kHz") << 44100 << 2 << 16 << 1;
        QTest::newRow("16-bit mono 22.05 kHz") << 22050 << 1 << 16 << 1;
        QTest::newRow("24-bit stereo 48 kHz") << 48000 << 2 << 24 << 1;
        QTest::newRow("32-bit mono 32 kHz") << 32000 << 1 << 32 << 1;
        QTest::newRow("float stereo 44.1 kHz") << 44100 << 2 << 32 << 3;
    }
    void anyDecodableWavPlays()
    {
        QFETCH(int, rate);
        QFETCH(int, channels);
        QFETCH(int, bits);
        QFETCH(int, tag);
        const int frames = rate / 10;
        QByteArray data;
        for (int i = 0; i < frames * channels; ++i) {
            const double v = 0.5 * ((i * 7919) % 1000 + 1) / 1000.0;
            if (tag == 3) {
                const float f = float(v);
                data.append(reinterpret_cast<const char *>(&f), 4);
            } else if (bits == 8) {
                data.append(char(0x80 + int(v * 100)));
            } else {
                const qint32 s = qint32(v * 2147483647.0);
                data.append(reinterpret_cast<const char *>(&s) + (4 - bits / 8), bits / 8);
            }
        }
        const QByteArray file = wavFile(rate, channels, bits, tag, data);
        int silence = 0;
        const QByteArray pcm = decoded(file, &silence);
        QVERIFY(!pcm.isEmpty());
        PlaySoundA(QFile::encodeName(fixture(QStringLiteral("format.wav"), file)).constData(),
                   nullptr, SND_FILENAME);
        PlaySoundA(nullptr, nullptr, 0);
        const QByteArray out = output();
        const qsizetype at = out.indexOf(pcm);
        QVERIFY(at >= 0);
        QVERIFY(silent(out.left(at), silence));
        QVERIFY(silent(out.mid(at + pcm.size()), silence));
    }

    void callersOnTwoThreads()
    {
        const QString a = fixture(QStringLiteral("a.wav"), wav16(44100, 2, 441, 1));
        const QString b = fixture(QStringLiteral("b.wav"), wav16(44100, 2, 300, -1));
        const QByteArray nameA = QFile::encodeName(a), nameB = QFile::encodeName(b);
        std::thread other([&] {
            for (int i = 0; i < 60; ++i) {
                PlaySoundA(nameB.constData(), nullptr, SND_FILENAME | SND_ASYNC | SND_LOOP);
                PlaySoundA(nullptr, nullptr, 0);
            }
        });
        for (int i = 0; i < 60; ++i)
            PlaySoundA(nameA.constData(), nullptr, SND_FILENAME | SND_ASYNC | SND_LOOP);
        other.join();
        PlaySoundA(nullptr, nullptr, 0);
        // The layer is still whole: the next sound plays exactly.
        const QByteArray file = wav16(44100, 2, 2205, 1);
        PlaySoundA(QFile::encodeName(fixture(QStringLiteral("c.wav"), file)).constData(), nullptr,
                   SND_FILENAME);
        QThread::msleep(50);
        const QByteArray heard = afterLeadingSilence(output(), 4);
        QCOMPARE(heard.left(decoded(file).size()), decoded(file));
    }

    void noDevice_data()
    {
        QTest::addColumn<QByteArray>("driver");
        QTest::newRow("no driver that works") << QByteArray("vellwake-no-such-driver");
    }
    void noDevice()
    {
        QFETCH(QByteArray, driver);
        qputenv("SDL_AUDIODRIVER", driver);
        QCOMPARE(waveOutGetNumDevs(), 0u);
        QCOMPARE(m_player.numberOfSoundCards(), Sound::Integer(0));
        QCOMPARE(m_player.soundCardInstalled(), Sound::False);
        const QString path = fixture(QStringLiteral("two.wav"), wav16(44100, 2, 88200, 1));
        QElapsedTimer timer;
        timer.start();
        playFile(path, true, false); // a waiting play of two seconds
        playFile(path, true, true);
        playFile(QStringLiteral("missing.wav"), false, false);
        m_player.playSystemSound(QStringLiteral("SystemHand"), Sound::False);
        m_player.stopPlay();
        QVERIFY2(timer.elapsed() < 1500, "a play without a device must not wait");
        QVERIFY(!QFile::exists(m_out));
        QCOMPARE(PlaySoundA("SystemDefault", nullptr, SND_ALIAS), 0);
    }
};

QTEST_GUILESS_MAIN(TestSdlSound)
#include "tst_sdlsound.moc"
