// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
// The sound layer: the player's calls through a recording platform; the
// sound thread and the real audio module, heard through SDL's disk driver,
// which writes every sample it plays to a file; and the rules for the
// output's volume during a ring.
#include "sound/OutputVolumeRules.h"
#include "sound/SoundModuleLoader.h"
#include "sound/csSoundPlayerLibrary.h"
#include "support/FakeSoundPlatform.h"
#include "ui/MsgBox.h"

#include <SDL.h>

#include <QtTest>

#include <atomic>
#include <functional>
#include <mutex>
#include <optional>
#include <stdexcept>

#include <unistd.h>

using namespace Qt::StringLiterals;
using Sound = csSoundPlayerLibrary;
using Call = FakeSoundPlatform::Call;
using SinkSetting = OutputVolumeRules::SinkSetting;

namespace {

// --- Guards: what the test sets is undone when they go, however it ends -----

using Undo = QScopeGuard<std::function<void()>>;

Undo setEnvironment(const char *name, const QByteArray &value)
{
    const auto old = qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt;
    qputenv(name, value);
    return Undo([name, old] { old ? qputenv(name, *old) : qunsetenv(name); });
}

Undo setCurrentDirectory(const QString &dir)
{
    const QString old = QDir::currentPath();
    QDir::setCurrent(dir);
    return Undo([old] { QDir::setCurrent(old); });
}

std::mutex loaderGate;
std::atomic<bool> inLoader = false;

// The sound thread's module loader hangs, as a call into a hung sound server
// does, until the guard goes; then it finds nothing, and the real loader is
// back.
Undo hangModuleLoader()
{
    loaderGate.lock();
    inLoader = false;
    SoundModuleLoader::setModuleSource([](QString &error) -> const SoundModule * {
        inLoader = true;
        const std::lock_guard wait(loaderGate);
        error = u"not in this test"_s;
        return nullptr;
    });
    return Undo([] {
        loaderGate.unlock();
        SoundModuleLoader::setModuleSource({});
    });
}

// --- Sounds as files ------------------------------------------------------------

// The device's format, in which the real module plays every sound.
constexpr int deviceRate = 48000;
constexpr int deviceFrame = 4; // 16-bit stereo

// A WAV of 16-bit samples that are never silence, by default in the
// device's format. The sign tells two sounds apart at every sample.
QByteArray wav(int frames, int sign = 1, quint16 channels = 2, quint32 rate = deviceRate)
{
    const quint32 frameSize = channels * 2u;
    QByteArray out;
    QDataStream s(&out, QIODevice::WriteOnly);
    s.setByteOrder(QDataStream::LittleEndian);
    // "RIFF", "WAVE", "fmt " and "data" as little-endian numbers; format 1
    // is integer samples.
    s << 0x46464952u << quint32(36 + frames * frameSize) << 0x45564157u << 0x20746d66u << 16u
      << quint16(1) << channels << rate << quint32(rate * frameSize) << quint16(frameSize)
      << quint16(16) << 0x61746164u << quint32(frames * frameSize);
    for (int i = 0; i < frames * channels; ++i)
        s << qint16(sign * (300 + (i * 37) % 20000));
    return out;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// The samples of a WAV converted to the device's format, as the module
// converts them.
QByteArray converted(const QByteArray &file)
{
    SDL_AudioSpec from;
    Uint8 *buffer = nullptr;
    Uint32 length = 0;
    if (!SDL_LoadWAV_RW(SDL_RWFromConstMem(file.constData(), int(file.size())), 1, &from, &buffer,
                        &length))
        return {};
    SDL_AudioCVT cvt;
    SDL_BuildAudioCVT(&cvt, from.format, from.channels, from.freq, AUDIO_S16SYS, 2, deviceRate);
    QByteArray out(qsizetype(length) * cvt.len_mult, Qt::Uninitialized);
    memcpy(out.data(), buffer, length);
    cvt.buf = reinterpret_cast<Uint8 *>(out.data());
    cvt.len = int(length);
    SDL_ConvertAudio(&cvt);
    out.resize(cvt.len_cvt);
    SDL_FreeWAV(buffer);
    return out;
}

bool silent(const QByteArray &bytes)
{
    return bytes.count('\0') == bytes.size();
}

// --- What a row does, and what it hears -------------------------------------------

// The test's sounds: two in the device's format, one in another, the
// built-in default, and a file that is no sound.
enum class Tone { A, P, Mono11k, Default, Broken };

// Whose is the file a bare name finds here.
enum class Owner { Me, AnotherUser };

enum class Act {
    Loop, // the tone's file looped, in the background
    Once, // the tone's file once, waited for
    System, // `name` played as a system sound is, waited for, with no default
    WaitLoops, // until the output holds the tone three times
    LookUp, // a bare name, found here (tone A) and beside the program (P), once
    Check, // with SDL's audio driver `driver`; `problem` is the answer expected
    StopWhileHung, // returns at once while the module's loader hangs; then it fails
};

struct Step
{
    Act act;
    Tone tone = Tone::A;
    QByteArray name = {};
    Owner owner = Owner::Me; // of the file found here
    SoundProblem problem = SoundProblem::None;
    QByteArray driver = "disk";
    const char *warning = nullptr; // a pattern the one warning the step brings matches
};
using Steps = QList<Step>;

// One sound heard in full; a looped one at least twice, then cut anywhere.
struct Heard
{
    Tone tone;
    bool looped = false;
};
using Sounds = QList<Heard>;

// What a player says of the sound cards; none: an overflow.
using Count = std::optional<Sound::Integer>;

SinkSetting sink(bool muted, std::initializer_list<int> percents)
{
    SinkSetting s{muted, {}};
    for (int p : percents)
        s.channels.push_back(std::uint32_t(std::lround(p * OutputVolumeRules::fullVolume / 100.0)));
    return s;
}

} // namespace

class TestSound : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    const QString m_heard = m_dir.filePath(u"heard.raw"_s);
    // The bare name a lookup plays, and where the program's own lies.
    const QString m_bare = u"vellwake-lookup-%1.wav"_s.arg(QCoreApplication::applicationPid());
    const QString m_besideProgram = QCoreApplication::applicationDirPath() + u'/' + m_bare;
    QHash<Tone, QByteArray> m_files, m_pcm;
    std::optional<Undo> m_cwd, m_outputFile, m_driver;

    QString fileOf(Tone t) const { return m_dir.filePath(u"%1.wav"_s.arg(int(t))); }

    // Why the output is not silence, then each sound in turn, then silence.
    QString mismatch(const QByteArray &out, const Sounds &expected) const
    {
        qsizetype at = 0;
        for (const Heard &h : expected) {
            const QByteArray &pcm = m_pcm[h.tone];
            const qsizetype start = out.indexOf(pcm, at);
            if (start < 0 || !silent(out.mid(at, start - at)))
                return u"not heard in turn: sound %1"_s.arg(int(h.tone));
            at = start + pcm.size();
            if (h.looped && out.mid(at, pcm.size()) != pcm)
                return u"not looped: sound %1"_s.arg(int(h.tone));
            while (h.looped && at + deviceFrame <= out.size()
                   && out.mid(at, deviceFrame) == pcm.mid((at - start) % pcm.size(), deviceFrame))
                at += deviceFrame;
        }
        return silent(out.mid(at)) ? QString() : u"not silent at the end"_s;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        // The disk driver announces itself at every open.
        SDL_LogSetOutputFunction([](void *, int, SDL_LogPriority, const char *) {}, nullptr);
        QFile defaultSound(QStringLiteral(VELLWAKE_SOURCE_DIR "/assets/default.wav"));
        QVERIFY(defaultSound.open(QIODevice::ReadOnly));
        m_pcm[Tone::Default] = converted(defaultSound.readAll());
        m_files = {{Tone::A, wav(2400)},
                   {Tone::P, wav(2000, -1)},
                   {Tone::Mono11k, wav(2756, 1, 1, 11025)}, // a quarter second
                   {Tone::Broken, "just some words\n"}};
        for (auto it = m_files.cbegin(); it != m_files.cend(); ++it) {
            QVERIFY(writeFile(fileOf(it.key()), it.value()));
            m_pcm[it.key()] = converted(it.value());
        }
        QVERIFY(!m_pcm[Tone::Default].isEmpty() && !m_pcm[Tone::Mono11k].isEmpty());
        m_cwd.emplace(setCurrentDirectory(m_dir.path()));
        m_outputFile.emplace(setEnvironment("SDL_DISKAUDIOFILE", QFile::encodeName(m_heard)));
        m_driver.emplace(setEnvironment("SDL_AUDIODRIVER", "disk")); // each row sets it in place
    }
    void cleanup()
    {
        SoundModuleLoader::shutdown();
        QFile::remove(m_besideProgram);
        QFile::remove(m_bare);
    }

    // The player's file play, looped in the background as asked with 1 and 2
    // (any non-zero is True), and the empty path it refuses, keeping the old
    // one. The flags: 0x20000 a file, 0x8 a loop, 0x1 in the background.
    void playFile_data()
    {
        QTest::addColumn<QString>("path"); // given after "alarm.wav"
        QTest::addColumn<Call>("call");
        QTest::addColumn<int>("refusals"); // message boxes
        QTest::newRow("a loop in the background")
                << u"alarm.wav"_s << Call{"alarm.wav", 0x20009} << 0;
        QTest::newRow("an empty path is refused, the old one kept")
                << u""_s << Call{"alarm.wav", 0x20009} << 1;
    }
    void playFile()
    {
        QFETCH(QString, path);
        QFETCH(Call, call);
        QFETCH(int, refusals);
        FakeSoundPlatform platform;
        QStringList boxes;
        MsgBox::setHandler([&boxes](const MsgBox::Request &r) {
            boxes << r.prompt;
            return MsgBox::Ok;
        });
        const auto restore = qScopeGuard([] { MsgBox::setHandler({}); });
        Sound player;
        player.setSoundPath(u"alarm.wav"_s);
        player.setSoundPath(path);
        player.playSoundFile(1, 2);
        QCOMPARE(platform.calls, QList<Call>{call});
        QCOMPARE(boxes, QStringList(refusals, u"No path or valid path been selected"_s));
    }

    // The device count as the interface's 16-bit Integer.
    void cards_data()
    {
        QTest::addColumn<UINT>("devices");
        QTest::addColumn<Count>("cards");
        QTest::addColumn<Count>("installed");
        QTest::newRow("none") << 0u << Count(0) << Count(Sound::False);
        QTest::newRow("more than an Integer holds") << 32768u << Count() << Count();
    }
    void cards()
    {
        QFETCH(UINT, devices);
        QFETCH(Count, cards);
        QFETCH(Count, installed);
        FakeSoundPlatform platform;
        platform.devices = devices;
        Sound player;
        if (cards) {
            QCOMPARE(player.numberOfSoundCards(), *cards);
            QCOMPARE(player.soundCardInstalled(), *installed);
        } else {
            QVERIFY_THROWS_EXCEPTION(std::overflow_error, player.numberOfSoundCards());
            QVERIFY_THROWS_EXCEPTION(std::overflow_error, player.soundCardInstalled());
        }
    }

    // The sound thread and the real module, heard byte for byte.
    void heard_data()
    {
        QTest::addColumn<Steps>("steps");
        QTest::addColumn<Sounds>("heard");
        using T = Tone;
        using P = SoundProblem;
        QTest::newRow("a loop, replaced by a converted sound played once, then silence")
                << Steps{{Act::Loop, T::A}, {Act::WaitLoops, T::A}, {Act::Once, T::Mono11k}}
                << Sounds{{T::A, true}, {T::Mono11k}};
        QTest::newRow("the default for a file that is no sound, and for a system alias in any case")
                << Steps{{Act::Once, T::Broken}, {.act = Act::System, .name = "systemexit"}}
                << Sounds{{T::Default}, {T::Default}};
        QTest::newRow("a bare name: the file here first")
                << Steps{{.act = Act::LookUp, .owner = Owner::Me}} << Sounds{{T::A}};
        QTest::newRow("a bare name: beside the program if another user owns the file here")
                << Steps{{.act = Act::LookUp, .owner = Owner::AnotherUser}} << Sounds{{T::P}};
        // The driver goes: a check sees it and warns, once, and a ring waits.
        // It comes back: a check sees it, and the ring starts.
        QTest::newRow("the audio driver goes and comes back")
                << Steps{{Act::Check},
                         {.act = Act::Check,
                          .problem = P::NoOutputDevice,
                          .driver = "none",
                          .warning = "no audio output found"},
                         {Act::Loop, T::A},
                         {.act = Act::Check, .problem = P::NoOutputDevice, .driver = "none"},
                         {Act::Check},
                         {Act::WaitLoops, T::A}}
                << Sounds{{T::A, true}};
        QTest::newRow("a hung module loader keeps no caller waiting, and is tried again")
                << Steps{{.act = Act::StopWhileHung, .warning = "not in this test"}, {Act::Check}}
                << Sounds{};
    }
    void heard()
    {
        QFETCH(Steps, steps);
        QFETCH(Sounds, heard);
        QFile::remove(m_heard);
        qputenv("SDL_AUDIODRIVER", "disk");
        Sound player;
        // No problem left from an earlier row: a warning comes when one
        // appears, and only then.
        player.checkSoundOutput();
        waveOutGetNumDevs();
        QTest::failOnWarning(QRegularExpression(u"no sound"_s));
        for (const Step &step : steps) {
            if (step.warning)
                QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QLatin1String(step.warning)));
            switch (step.act) {
            case Act::Loop:
                player.setSoundPath(fileOf(step.tone));
                player.playSoundFile(Sound::True, Sound::True);
                break;
            case Act::Once:
                player.setSoundPath(fileOf(step.tone));
                player.playSoundFile(Sound::False, Sound::False);
                break;
            case Act::System:
                PlaySoundA(step.name, nullptr, SND_NODEFAULT);
                break;
            case Act::WaitLoops:
                QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(m_heard).size() >= 3 * m_pcm[step.tone].size(),
                                         10000);
                break;
            case Act::LookUp:
                QVERIFY(writeFile(m_besideProgram, m_files[Tone::P]));
                QVERIFY(writeFile(m_bare, m_files[Tone::A]));
                if (step.owner == Owner::AnotherUser
                    && ::chown(QFile::encodeName(m_bare).constData(), 65534, 65534) != 0)
                    QSKIP("a file cannot be given to another user here");
                player.setSoundPath(m_bare);
                player.playSoundFile(Sound::False, Sound::False);
                break;
            case Act::Check:
                waveOutGetNumDevs(); // all asked before is done with the driver it had
                // In place: the sound thread may be reading it.
                qputenv("SDL_AUDIODRIVER", step.driver);
                player.checkSoundOutput();
                waveOutGetNumDevs(); // waits for the answer to be there
                QCOMPARE(player.soundProblem(), step.problem);
                break;
            case Act::StopWhileHung: {
                const Undo letGo = hangModuleLoader();
                player.checkSoundOutput();
                QTRY_VERIFY(inLoader);
                QCOMPARE(PlaySoundA(nullptr, nullptr, 0), TRUE);
                break;
            }
            default:
                QFAIL("unknown step");
            }
        }
        // The device's file is complete once the sound layer has been shut
        // down.
        SoundModuleLoader::shutdown();
        QFile output(m_heard);
        const QString wrong
                = mismatch(output.open(QIODevice::ReadOnly) ? output.readAll() : "", heard);
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
    }

    // What a ring sets on the sink, and what it puts back after: the user's
    // mute and volume, unless the user changed them during the ring.
    void outputVolume_data()
    {
        using namespace OutputVolumeRules;
        QTest::addColumn<SinkSetting>("before");
        QTest::addColumn<SinkSetting>("ringing");
        QTest::addColumn<std::optional<SinkSetting>>("changed"); // by the user during the ring
        QTest::addColumn<RestorePlan>("plan"); // for the mute and the volume
        QTest::newRow("muted, one channel loud enough: unmuted, the volume kept")
                << sink(true, {70, 5}) << sink(false, {70, 5}) << std::optional<SinkSetting>()
                << RestorePlan{Restore::PutBack, Restore::Untouched};
        QTest::newRow("muted and quiet: lifted, the balance kept; a volume set meanwhile stands")
                << sink(true, {10, 5}) << sink(false, {50, 25})
                << std::optional(sink(false, {80, 80}))
                << RestorePlan{Restore::PutBack, Restore::Kept};
    }
    void outputVolume()
    {
        using namespace OutputVolumeRules;
        QFETCH(SinkSetting, before);
        QFETCH(SinkSetting, ringing);
        QFETCH(std::optional<SinkSetting>, changed);
        QFETCH(RestorePlan, plan);
        const std::optional<Raised> raised = raise(before, std::nullopt);
        QCOMPARE(raised ? raised->set : before, ringing);
        const RestorePlan untouched{Restore::Untouched, Restore::Untouched};
        QCOMPARE(raised ? restorePlan(*raised, changed.value_or(ringing)) : untouched, plan);
    }
};

QTEST_GUILESS_MAIN(TestSound)
#include "tst_sound.moc"
