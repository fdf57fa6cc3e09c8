// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
// The sound layer in three parts: the player's calls through a recording
// platform; the sound thread through an audio module of the test's own,
// whose calls the test can hold; and the real audio module heard through
// SDL's disk driver, which writes every sample it plays to a file.
#include "sound/OutputVolumeRules.h"
#include "sound/SoundModule.h"
#include "sound/SoundModuleLoader.h"
#include "sound/csSoundPlayerLibrary.h"
#include "support/FakeSoundPlatform.h"
#include "ui/MsgBox.h"

#include <SDL.h>

#include <QtTest>

#include <condition_variable>
#include <mutex>
#include <optional>
#include <stdexcept>

#include <unistd.h>

using namespace Qt::StringLiterals;
using Sound = csSoundPlayerLibrary;
using Call = FakeSoundPlatform::Call;

namespace {

// --- Guards: whatever a row sets is undone, however it ends -----------------

// An environment variable set for the guard's lifetime.
class EnvironmentVariable
{
public:
    EnvironmentVariable(const char *name, const QByteArray &value)
        : m_name(name)
        , m_old(qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt)
    {
        qputenv(name, value);
    }
    ~EnvironmentVariable() { m_old ? qputenv(m_name, *m_old) : qunsetenv(m_name); }

private:
    const char *m_name;
    std::optional<QByteArray> m_old;
};

class CurrentDirectory
{
public:
    explicit CurrentDirectory(const QString &dir)
        : m_old(QDir::currentPath())
    {
        QDir::setCurrent(dir);
    }
    ~CurrentDirectory() { QDir::setCurrent(m_old); }

private:
    const QString m_old;
};

// --- An audio module of the test's own ---------------------------------------

// Records what the sound thread asks of it and answers as the row says. A
// play is held inside the module while the gate is shut, as a hung sound
// server holds it.
struct TestModule
{
    enum Kind { Play, Stop, Check };
    struct Seen
    {
        Kind kind;
        QByteArray name = {};
        DWORD flags = 0;
        bool operator==(const Seen &) const = default;
    };
    struct Answers
    {
        bool loads = true;
        PlayResult play = PlayResult::Played;
        const char *outputProblem = nullptr;
    };

    // Shared with the sound thread, under the mutex.
    mutable std::mutex mutex;
    std::condition_variable gateOpened;
    Answers answers;
    QList<Seen> seen;
    bool gateShut = false;
    int held = 0; // plays inside the module now

    template<typename T> T get(T TestModule::*field) const
    {
        std::lock_guard lock(mutex);
        return this->*field;
    }
    template<typename T> void set(T TestModule::*field, T value)
    {
        {
            std::lock_guard lock(mutex);
            this->*field = value;
        }
        gateOpened.notify_all();
    }

    static inline TestModule *current = nullptr;
    static const SoundModule table;

private:
    static PlayResult play(LPCSTR name, DWORD flags)
    {
        TestModule &m = *current;
        std::unique_lock lock(m.mutex);
        m.seen << Seen{name ? Play : Stop, name, flags};
        ++m.held;
        m.gateOpened.wait(lock, [&m] { return !m.gateShut; });
        --m.held;
        return m.answers.play;
    }
    static const char *check()
    {
        std::lock_guard lock(current->mutex);
        current->seen << Seen{Check};
        return current->answers.outputProblem;
    }
};

// A waiting play is heard at once, there is nothing to watch, one device.
const SoundModule TestModule::table{&TestModule::play,      [] { return 0.0; },
                                    [] { return false; },   &TestModule::check,
                                    [] { return UINT(1); }, [] {}};

// --- Sounds as files ----------------------------------------------------------

// The device's format, in which the real module plays every sound.
constexpr int deviceRate = 48000;
constexpr int deviceFrame = 4; // 16-bit stereo

struct WavFormat
{
    quint16 tag; // 1: integers, 3: floating point
    quint16 channels;
    quint32 rate;
    quint16 bits;
};

// `frames` frames that are never silence: in the device's format they carry
// the given sign, so that two sounds and silence are told apart at every
// sample; in any other they stay above the middle line.
QByteArray wav(const WavFormat &f, int frames, int sign = 1)
{
    const quint32 frameSize = f.channels * f.bits / 8u;
    QByteArray out;
    QDataStream s(&out, QIODevice::WriteOnly);
    s.setByteOrder(QDataStream::LittleEndian);
    s.setFloatingPointPrecision(QDataStream::SinglePrecision);
    // "RIFF", "WAVE", "fmt " and "data" as little-endian numbers.
    s << 0x46464952u << quint32(36 + frames * frameSize) << 0x45564157u << 0x20746d66u << 16u
      << f.tag << f.channels << f.rate << quint32(f.rate * frameSize) << quint16(frameSize)
      << f.bits << 0x61746164u << quint32(frames * frameSize);
    for (int i = 0; i < frames * f.channels; ++i) {
        if (f.tag == 3)
            s << float(0.1 + (i % 50) / 500.0);
        else if (f.bits == 8)
            s << quint8(170 + i % 50);
        else
            s << qint16(sign * (300 + (i * 37) % 20000));
    }
    return out;
}

constexpr WavFormat deviceWav{1, 2, deviceRate, 16};

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// The samples of a WAV converted to the device's format, as the module
// converts them.
QByteArray converted(const QByteArray &file)
{
    SDL_AudioSpec spec;
    Uint8 *buffer = nullptr;
    Uint32 length = 0;
    if (!SDL_LoadWAV_RW(SDL_RWFromConstMem(file.constData(), int(file.size())), 1, &spec, &buffer,
                        &length))
        return {};
    SDL_AudioCVT cvt;
    SDL_BuildAudioCVT(&cvt, spec.format, spec.channels, spec.freq, AUDIO_S16SYS, 2, deviceRate);
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

// --- What a row does, and what it hears ---------------------------------------

// The test's sounds: four in the device's format, three in others, the
// built-in default, and three files that cannot be played.
enum class Tone { A, R, N, P, Low8Bit, Rate400k, Float, Default, Broken, Cut, Missing };
enum class Where { Here, BesideProgram };
enum class Owner { Me, Nobody };
enum class Output { Heard, Full, Nowhere };

enum class Act {
    Loop, // the tone's file looped, in the background
    Once, // once, waiting
    OnceInBackground,
    OnceNamed, // once, waiting, the name the last Place used
    System, // `name` as a system sound, in the background
    Stop,
    WaitPlays, // until `plays` times the last sound's length more was written out
    Place, // the tone's file as `name` (the bare lookup name if empty) at `where`
    Driver, // SDL's audio driver is `name`
    OutputTo, // where the disk driver writes
    Check, // the output is looked at; `problem` is the answer expected
};

struct Step
{
    Act act;
    Tone tone = Tone::A;
    int plays = 0;
    QByteArray name = {};
    Where where = Where::Here;
    Owner owner = Owner::Me;
    Output output = Output::Heard;
    SoundProblem problem = SoundProblem::None;

    static Step loop(Tone t) { return {Act::Loop, t}; }
    static Step once(Tone t) { return {Act::Once, t}; }
    static Step onceNamed() { return {Act::OnceNamed}; }
    static Step inBackground(Tone t) { return {Act::OnceInBackground, t}; }
    static Step system(const QByteArray &name) { return {Act::System, Tone::Default, 0, name}; }
    static Step stop() { return {Act::Stop}; }
    static Step waitPlays(int n) { return {Act::WaitPlays, Tone::A, n}; }
    static Step place(Tone t, Where w, Owner o = Owner::Me, const QByteArray &name = {})
    {
        return {Act::Place, t, 0, name, w, o};
    }
    static Step driver(const QByteArray &name) { return {Act::Driver, Tone::A, 0, name}; }
    static Step outputTo(Output o) { return {Act::OutputTo, {}, 0, {}, {}, {}, o}; }
    static Step check(SoundProblem p) { return {Act::Check, {}, 0, {}, {}, {}, {}, p}; }
};

// A call of the player.
struct Use
{
    enum Kind { SetPath, File, System, Stop, Count } kind;
    Sound::Boolean loop = 0; // for a file
    Sound::Boolean aSync = 0;
    QString name = {}; // the path, or a system sound
    UINT devices = 0; // as the platform counts them
};

// A count of sound cards and whether one is installed; none: an overflow.
struct Counted
{
    std::optional<Sound::Integer> cards;
    std::optional<Sound::Boolean> installed;
    bool operator==(const Counted &) const = default;
};

template<typename F> auto orOverflow(F f) -> std::optional<decltype(f())>
{
    try {
        return f();
    } catch (const std::overflow_error &) {
        return std::nullopt;
    }
}

// One sound heard in full; a looped one at least twice, then cut anywhere.
struct Heard
{
    Tone tone;
    bool looped = false;
};

// One thing the test does to the sound thread, through its own module.
struct Poke
{
    enum Kind { Hold, Release, Loop, OnceInBackground, Stop, Check } kind;
    QByteArray name = {}; // what a play names
    TestModule::Answers answers = {}; // how the module answers from this step on
    SoundProblem problem = SoundProblem::None; // the answer expected after it
    const char *warning = nullptr; // a pattern the one warning it brings matches
};

} // namespace

Q_DECLARE_METATYPE(Call)
Q_DECLARE_METATYPE(Use)
Q_DECLARE_METATYPE(Counted)
Q_DECLARE_METATYPE(Step)
Q_DECLARE_METATYPE(Heard)
Q_DECLARE_METATYPE(Poke)
Q_DECLARE_METATYPE(TestModule::Seen)

class TestSound : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    const QString m_heard = m_dir.filePath(u"heard.raw"_s);
    const QString m_output = m_dir.filePath(u"output.raw"_s); // a link to where it goes
    const QByteArray m_bare
            = "vellwake-lookup-" + QByteArray::number(QCoreApplication::applicationPid()) + ".wav";
    QHash<Tone, QByteArray> m_files, m_pcm;
    std::optional<CurrentDirectory> m_cwd;
    std::optional<EnvironmentVariable> m_driver, m_outputFile;
    QStringList m_placed;

    QString fileOf(Tone t) const { return m_dir.filePath(u"%1.wav"_s.arg(int(t))); }

    // A row's output, from the start: the device's file is complete once
    // the sound layer has been shut down.
    QByteArray output() const
    {
        SoundModuleLoader::shutdown();
        QFile f(m_heard);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    // Why the output is not silence, then each sound in turn, then silence.
    QString mismatch(const QByteArray &out, const QList<Heard> &expected) const
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

    void run(const Step &step, Sound &player, Tone &last, qint64 &mark)
    {
        const auto size = [this] { return QFileInfo(m_heard).size(); };
        switch (step.act) {
        case Act::Loop:
        case Act::Once:
        case Act::OnceInBackground:
            last = step.tone;
            player.setSoundPath(fileOf(step.tone));
            player.playSoundFile(step.act == Act::Loop ? Sound::True : Sound::False,
                                 step.act == Act::Once ? Sound::False : Sound::True);
            break;
        case Act::OnceNamed:
            player.playSoundFile(Sound::False, Sound::False);
            break;
        case Act::System:
            last = Tone::Default;
            player.playSystemSound(QString::fromLatin1(step.name), Sound::True);
            break;
        case Act::Stop:
            player.stopPlay();
            break;
        case Act::WaitPlays:
            QTRY_VERIFY_WITH_TIMEOUT(size() >= mark + step.plays * m_pcm[last].size(), 10000);
            break;
        case Act::Place: {
            const QByteArray name = step.name.isEmpty() ? m_bare : step.name;
            const QString path = step.where == Where::Here
                    ? QDir::current().filePath(QString::fromLatin1(name))
                    : QCoreApplication::applicationDirPath() + u'/' + QString::fromLatin1(name);
            m_placed << path;
            QVERIFY(writeFile(path, m_files[step.tone]));
            if (step.owner == Owner::Nobody
                && ::chown(QFile::encodeName(path).constData(), 65534, 65534) != 0)
                QSKIP("a file cannot be given to another user here");
            player.setSoundPath(QString::fromLatin1(name));
            break;
        }
        case Act::Driver:
            m_driver.reset(); // the row's driver replaces the last one
            m_driver.emplace("SDL_AUDIODRIVER", step.name);
            break;
        case Act::OutputTo: {
            const QString target = step.output == Output::Heard ? m_heard
                    : step.output == Output::Full               ? u"/dev/full"_s
                                                                : u"/none/such.raw"_s;
            QFile::remove(m_output);
            QVERIFY(QFile::link(target, m_output));
            // Everything asked so far is done, on the old output.
            waveOutGetNumDevs();
            break;
        }
        case Act::Check:
            player.checkSoundOutput();
            waveOutGetNumDevs(); // waits for the answer to be there
            QCOMPARE(player.soundProblem(), step.problem);
            break;
        }
        mark = size();
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
        m_files = {{Tone::A, wav(deviceWav, 2400, 1)},
                   {Tone::R, wav(deviceWav, 1600, -1)},
                   {Tone::N, wav(deviceWav, 2000, 1)},
                   {Tone::P, wav(deviceWav, 2000, -1)},
                   // A quarter second each.
                   {Tone::Low8Bit, wav({1, 1, 11025, 8}, 2756)},
                   {Tone::Rate400k, wav({1, 2, 400000, 16}, 100000)},
                   {Tone::Float, wav({3, 2, 44100, 32}, 11025)},
                   {Tone::Broken, "just some words\n"},
                   {Tone::Cut, wav(deviceWav, 2400, 1).left(5000)}};
        for (auto it = m_files.cbegin(); it != m_files.cend(); ++it) {
            QVERIFY(writeFile(fileOf(it.key()), it.value()));
            m_pcm[it.key()] = converted(it.value());
        }
        QVERIFY(!m_pcm[Tone::Default].isEmpty() && !m_pcm[Tone::Rate400k].isEmpty());
        m_cwd.emplace(m_dir.path());
    }
    void cleanupTestCase()
    {
        SoundModuleLoader::shutdown();
        m_cwd.reset();
    }
    void init()
    {
        SoundModuleLoader::shutdown();
        QFile::remove(m_heard);
        QFile::remove(m_output);
        QVERIFY(QFile::link(m_heard, m_output));
        m_driver.emplace("SDL_AUDIODRIVER", "disk");
        m_outputFile.emplace("SDL_DISKAUDIOFILE", QFile::encodeName(m_output));
    }
    void cleanup()
    {
        SoundModuleLoader::shutdown();
        for (const QString &path : std::as_const(m_placed))
            QFile::remove(path);
        m_placed.clear();
        m_driver.reset();
        m_outputFile.reset();
    }

    // The player's calls: its flag choice, the device-count rule and the
    // empty-path message box.
    // The player's calls: its flag choice, the empty path it refuses and
    // the device-count rule.
    void player_data()
    {
        QTest::addColumn<QList<Use>>("uses");
        QTest::addColumn<QList<Call>>("calls");
        QTest::addColumn<int>("refusals"); // message boxes for an empty path
        QTest::addColumn<QList<Counted>>("counts");
        const auto call = [](const char *name, DWORD flags) { return Call{name, nullptr, flags}; };
        const Use alarm{Use::SetPath, 0, 0, u"alarm.wav"_s};
        const auto count = [](UINT devices) { return Use{Use::Count, 0, 0, {}, devices}; };
        const Counted overflow{std::nullopt, std::nullopt};
        // clang-format off
        QTest::newRow("loop, background") << QList<Use>{alarm, {Use::File, -1, -1}} << QList<Call>{call("alarm.wav", 0x20009)} << 0 << QList<Counted>{};
        QTest::newRow("loop, waiting drops the loop") << QList<Use>{alarm, {Use::File, -1, 0}} << QList<Call>{call("alarm.wav", 0x20000)} << 0 << QList<Counted>{};
        QTest::newRow("once, background") << QList<Use>{alarm, {Use::File, 0, -1}} << QList<Call>{call("alarm.wav", 0x20001)} << 0 << QList<Counted>{};
        QTest::newRow("once, waiting") << QList<Use>{alarm, {Use::File, 0, 0}} << QList<Call>{call("alarm.wav", 0x20000)} << 0 << QList<Counted>{};
        QTest::newRow("any non-zero is True") << QList<Use>{alarm, {Use::File, 1, 2}, {Use::File, 0, -32768}} << QList<Call>{call("alarm.wav", 0x20009), call("alarm.wav", 0x20001)} << 0 << QList<Counted>{};
        QTest::newRow("no path yet: null") << QList<Use>{{Use::File, -1, -1}} << QList<Call>{{std::nullopt, nullptr, 0x20009}} << 0 << QList<Counted>{};
        QTest::newRow("a missing file is accepted") << QList<Use>{{Use::SetPath, 0, 0, u"no/such.wav"_s}, {Use::File, 0, 0}} << QList<Call>{call("no/such.wav", 0x20000)} << 0 << QList<Counted>{};
        QTest::newRow("an empty path is refused, the old one kept") << QList<Use>{alarm, {Use::SetPath, 0, 0, u""_s}, {Use::File, 0, 0}} << QList<Call>{call("alarm.wav", 0x20000)} << 1 << QList<Counted>{};
        QTest::newRow("system sound, background") << QList<Use>{{Use::System, 0, 5, u"SystemAsterisk"_s}} << QList<Call>{call("SystemAsterisk", 0x1)} << 0 << QList<Counted>{};
        QTest::newRow("system sound, waiting") << QList<Use>{{Use::System, 0, 0, u"SystemExit"_s}} << QList<Call>{call("SystemExit", 0x10000)} << 0 << QList<Counted>{};
        QTest::newRow("stop") << QList<Use>{alarm, {Use::Stop}} << QList<Call>{{std::nullopt, nullptr, 0}} << 0 << QList<Counted>{};
        QTest::newRow("devices: none, one, the most an Integer holds, one more") << QList<Use>{count(0), count(1), count(32767), count(32768)} << QList<Call>{} << 0
                << QList<Counted>{{0, Sound::False}, {1, Sound::True}, {32767, Sound::True}, overflow};
        // clang-format on
    }
    void player()
    {
        QFETCH(QList<Use>, uses);
        QFETCH(QList<Call>, calls);
        QFETCH(int, refusals);
        QFETCH(QList<Counted>, counts);
        FakeSoundPlatform platform;
        QList<MsgBox::Request> boxes;
        MsgBox::setHandler([&boxes](const MsgBox::Request &r) {
            boxes << r;
            return MsgBox::Ok;
        });
        const auto restore = qScopeGuard([] { MsgBox::setHandler({}); });
        Sound player;
        QList<Counted> counted;
        for (const Use &use : uses) {
            switch (use.kind) {
            case Use::SetPath:
                player.setSoundPath(use.name);
                break;
            case Use::File:
                player.playSoundFile(use.loop, use.aSync);
                break;
            case Use::System:
                player.playSystemSound(use.name, use.aSync);
                break;
            case Use::Stop:
                player.stopPlay();
                break;
            case Use::Count:
                platform.devices = use.devices;
                counted << Counted{orOverflow([&] { return player.numberOfSoundCards(); }),
                                   orOverflow([&] { return player.soundCardInstalled(); })};
                break;
            }
        }
        QCOMPARE(platform.calls, calls);
        QCOMPARE(counted, counts);
        QCOMPARE(boxes.size(), refusals);
        for (const MsgBox::Request &box : std::as_const(boxes)) {
            QCOMPARE(box.prompt, u"No path or valid path been selected"_s);
            QCOMPARE(box.title, u" Need to select a Valid Path."_s);
            QCOMPARE(box.buttons, MsgBox::OkOnly);
            QCOMPARE(int(box.icon), 16);
        }
    }

    // The sound thread through the test's module. Calls made while the
    // module is held in a play (a hung sound server) return at once, and the
    // last play or stop is carried out after; what the layer says when no
    // sound can be played, and how often it warns.
    void thread_data()
    {
        QTest::addColumn<QList<Poke>>("pokes");
        QTest::addColumn<QList<TestModule::Seen>>("seen"); // plays, stops and checks, in turn
        using Seen = TestModule::Seen;
        using P = SoundProblem;
        const TestModule::Answers missing{false};
        const TestModule::Answers noOutput{true, PlayResult::NoOutput, "no output device"};
        const Seen held{TestModule::Play, "held.wav", SND_FILENAME | SND_ASYNC | SND_LOOP};
        // clang-format off
        QTest::newRow("a stop returns, and is carried out after")
                << QList<Poke>{{Poke::Hold}, {Poke::Loop, "held.wav"}, {Poke::Stop}, {Poke::Release}}
                << QList<Seen>{held, Seen{TestModule::Stop}};
        QTest::newRow("of several plays and stops the last wins")
                << QList<Poke>{{Poke::Hold}, {Poke::Loop, "held.wav"}, {Poke::Loop, "b.wav"}, {Poke::Stop}, {Poke::OnceInBackground, "c.wav"}, {Poke::Release}}
                << QList<Seen>{held, Seen{TestModule::Play, "c.wav", SND_FILENAME | SND_ASYNC}};
        QTest::newRow("a check returns, and is answered after")
                << QList<Poke>{{Poke::Hold}, {Poke::Loop, "held.wav"}, {Poke::Check}, {Poke::Release}}
                << QList<Seen>{held, Seen{TestModule::Check}};
        QTest::newRow("no audio module, said once with the loader's reason")
                << QList<Poke>{{Poke::Check, {}, missing, P::NoAudioModule, "no such module here"}, {Poke::Check, {}, missing, P::NoAudioModule}}
                << QList<Seen>{};
        QTest::newRow("a failed load is tried again at the next request")
                << QList<Poke>{{Poke::Check, {}, missing, P::NoAudioModule, "module"}, {Poke::Check}}
                << QList<Seen>{Seen{TestModule::Check}};
        QTest::newRow("no output device, said once")
                << QList<Poke>{{Poke::Check, {}, noOutput, P::NoOutputDevice, "no output device"}, {Poke::Check, {}, noOutput, P::NoOutputDevice}}
                << QList<Seen>{};
        QTest::newRow("a problem that clears and comes back is said again")
                << QList<Poke>{{Poke::Check, {}, noOutput, P::NoOutputDevice, "no output device"}, {Poke::Check}, {Poke::Check, {}, noOutput, P::NoOutputDevice, "no output device"}}
                << QList<Seen>{};
        QTest::newRow("a ring that finds no output says so, one that plays clears it")
                << QList<Poke>{{Poke::Loop, "a.wav", noOutput, P::NoOutputDevice, "output"}, {Poke::Loop, "a.wav"}}
                << QList<Seen>{};
        QTest::newRow("a ring finds the module missing")
                << QList<Poke>{{Poke::Loop, "a.wav", missing, P::NoAudioModule, "no such module here"}}
                << QList<Seen>{};
        // clang-format on
    }
    void thread()
    {
        QFETCH(QList<Poke>, pokes);
        QFETCH(QList<TestModule::Seen>, seen);
        // The test's module in place of the real one, with no problem left
        // from an earlier row, and the real one back at the end.
        TestModule module;
        TestModule::current = &module;
        SoundModuleLoader::setModuleSource([&module](QString &error) -> const SoundModule * {
            std::lock_guard lock(module.mutex);
            if (module.answers.loads)
                return &TestModule::table;
            error = u"no such module here"_s;
            return nullptr;
        });
        const auto restore = qScopeGuard([&module] {
            module.set(&TestModule::gateShut, false);
            SoundModuleLoader::setModuleSource({});
            TestModule::current = nullptr;
        });
        SoundModuleLoader::checkOutput();
        waveOutGetNumDevs();
        module.set(&TestModule::seen, {});
        QTest::failOnWarning(QRegularExpression(u"no sound"_s));
        bool held = false;
        for (const Poke &p : pokes) {
            module.set(&TestModule::answers, p.answers);
            // A module that cannot be had: the layer starts again without it.
            if (!p.answers.loads)
                SoundModuleLoader::shutdown();
            if (p.warning)
                QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QLatin1String(p.warning)));
            switch (p.kind) {
            case Poke::Hold:
                module.set(&TestModule::gateShut, held = true);
                continue;
            case Poke::Release:
                module.set(&TestModule::gateShut, held = false);
                break;
            case Poke::Loop:
                QCOMPARE(PlaySoundA(p.name, nullptr, SND_FILENAME | SND_ASYNC | SND_LOOP), TRUE);
                break;
            case Poke::OnceInBackground:
                QCOMPARE(PlaySoundA(p.name, nullptr, SND_FILENAME | SND_ASYNC), TRUE);
                break;
            case Poke::Stop:
                QCOMPARE(PlaySoundA(nullptr, nullptr, 0), TRUE);
                break;
            case Poke::Check:
                SoundModuleLoader::checkOutput();
                break;
            }
            if (held) {
                // Returned while the module is still held in the first play.
                QTRY_COMPARE(module.get(&TestModule::held), 1);
                QCOMPARE(module.get(&TestModule::seen).size(), 1);
            } else {
                // The device count is the one request whose caller waits for
                // the answer: the thread has done all asked before it.
                waveOutGetNumDevs();
            }
            QCOMPARE(SoundModuleLoader::outputProblem(), p.problem);
        }
        QCOMPARE(module.get(&TestModule::seen).mid(0, seen.size()), seen);
    }

    // The real module, heard byte for byte.
    void heard_data()
    {
        QTest::addColumn<QList<Step>>("steps");
        QTest::addColumn<QList<Heard>>("heard");
        using S = Step;
        using T = Tone;
        // clang-format off
        QTest::newRow("a loop repeats exactly, a stop silences it")
                << QList<Step>{S::loop(T::A), S::waitPlays(3), S::stop()} << QList<Heard>{{T::A, true}};
        QTest::newRow("a waiting play plays once") << QList<Step>{S::once(T::A)} << QList<Heard>{{T::A}};
        QTest::newRow("a replace starts the new sound at its start")
                << QList<Step>{S::loop(T::A), S::waitPlays(3), S::loop(T::R), S::waitPlays(4), S::stop()}
                << QList<Heard>{{T::A, true}, {T::R, true}};
        QTest::newRow("a loop replaced by a sound played once ends in silence")
                << QList<Step>{S::loop(T::A), S::waitPlays(3), S::inBackground(T::R), S::waitPlays(3)}
                << QList<Heard>{{T::A, true}, {T::R}};
        // Any sound SDL can decode, converted to the device's format.
        QTest::newRow("8-bit mono at 11025 Hz") << QList<Step>{S::once(T::Low8Bit)} << QList<Heard>{{T::Low8Bit}};
        QTest::newRow("16-bit stereo at 400 kHz") << QList<Step>{S::once(T::Rate400k)} << QList<Heard>{{T::Rate400k}};
        QTest::newRow("32-bit float stereo") << QList<Step>{S::once(T::Float)} << QList<Heard>{{T::Float}};
        QTest::newRow("a missing file plays the default") << QList<Step>{S::once(T::Missing)} << QList<Heard>{{T::Default}};
        QTest::newRow("a broken file plays the default") << QList<Step>{S::once(T::Broken)} << QList<Heard>{{T::Default}};
        QTest::newRow("a cut file plays the default") << QList<Step>{S::once(T::Cut)} << QList<Heard>{{T::Default}};
        QTest::newRow("the current directory first")
                << QList<Step>{S::place(T::P, Where::BesideProgram), S::place(T::N, Where::Here), S::onceNamed()}
                << QList<Heard>{{T::N}};
        QTest::newRow("then the program's directory")
                << QList<Step>{S::place(T::P, Where::BesideProgram), S::onceNamed()} << QList<Heard>{{T::P}};
        QTest::newRow("a file another user left in the current directory is passed over")
                << QList<Step>{S::place(T::P, Where::BesideProgram), S::place(T::N, Where::Here, Owner::Nobody), S::onceNamed()}
                << QList<Heard>{{T::P}};
        // With no type flag a name is an alias first: a file named like one,
        // in another case, is not played.
        QTest::newRow("a system alias in another case is the default, not a file")
                << QList<Step>{S::place(T::N, Where::Here, Owner::Me, "systemexit"), S::system("systemexit"), S::waitPlays(1)}
                << QList<Heard>{{T::Default}};
        QTest::newRow("again after no audio driver")
                << QList<Step>{S::driver("none"), S::once(T::A), S::driver("disk"), S::loop(T::A), S::waitPlays(3), S::stop()}
                << QList<Heard>{{T::A, true}};
        QTest::newRow("a ring that finds no output starts once one opens")
                << QList<Step>{S::outputTo(Output::Nowhere), S::loop(T::A), S::outputTo(Output::Heard), S::waitPlays(3), S::stop()}
                << QList<Heard>{{T::A, true}};
        // The disk driver gives its device up when a write fails.
        QTest::newRow("a ring whose output was lost comes back by itself")
                << QList<Step>{S::outputTo(Output::Full), S::loop(T::A), S::outputTo(Output::Heard), S::waitPlays(3), S::stop()}
                << QList<Heard>{{T::A, true}};
        QTest::newRow("an idle check sees the audio driver go and come")
                << QList<Step>{S::check(SoundProblem::None), S::driver("none"), S::check(SoundProblem::NoOutputDevice), S::driver("disk"), S::check(SoundProblem::None)}
                << QList<Heard>{};
        // clang-format on
    }
    void heard()
    {
        QFETCH(QList<Step>, steps);
        QFETCH(QList<Heard>, heard);
        Sound player;
        Tone last = Tone::A;
        qint64 mark = 0;
        for (const Step &step : steps) {
            run(step, player, last, mark);
            if (QTest::currentTestFailed())
                return;
        }
        const QString wrong = mismatch(output(), heard);
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
    }

private:
    using SinkSetting = OutputVolumeRules::SinkSetting;

    // What happens to the sink while the ring lasts.
    enum class Meanwhile {
        UserMutes,
        UserUnmutes,
        UserSetsVolume, // every channel to the step's percent
        ServerRounds, // stores each channel a unit off what it was given
        RingAgain, // the ring starts anew on the same sink
    };
    struct RingStep
    {
        Meanwhile what;
        int percent = 0;
    };
    using RingSteps = QList<RingStep>;

    static std::uint32_t volume(int percent)
    {
        return std::uint32_t(std::lround(percent * double(OutputVolumeRules::fullVolume) / 100));
    }
    static SinkSetting sink(bool isMuted, std::initializer_list<int> percents)
    {
        SinkSetting s{isMuted, {}};
        for (int p : percents)
            s.channels.push_back(volume(p));
        return s;
    }
    static SinkSetting muted(std::initializer_list<int> percents) { return sink(true, percents); }
    static SinkSetting unmuted(std::initializer_list<int> percents)
    {
        return sink(false, percents);
    }
    static QByteArray shown(const SinkSetting &s)
    {
        QByteArray out = s.muted ? "muted at" : "unmuted at";
        for (std::uint32_t c : s.channels) {
            const double percent = c * 100.0 / OutputVolumeRules::fullVolume;
            out += ' ' + QByteArray::number(percent, 'f', 3) + '%';
        }
        return out;
    }

private Q_SLOTS:
    void outputVolume_data()
    {
        QTest::addColumn<SinkSetting>("before");
        QTest::addColumn<RingSteps>("meanwhile");
        QTest::addColumn<SinkSetting>("ringing"); // as the last ring start left it
        QTest::addColumn<SinkSetting>("after"); // once it has stopped
        const auto user = [](Meanwhile what, int percent = 0) { return RingStep{what, percent}; };
        using enum Meanwhile;
        // clang-format off
        QTest::newRow("muted at 70 %: unmuted, volume kept") << muted({70}) << RingSteps{} << unmuted({70}) << muted({70});
        QTest::newRow("at 5 %: lifted to 50 %") << unmuted({5}) << RingSteps{} << unmuted({50}) << unmuted({5});
        QTest::newRow("muted at 0 %: unmuted and lifted") << muted({0}) << RingSteps{} << unmuted({50}) << muted({0});
        QTest::newRow("at 19 %: lifted") << unmuted({19}) << RingSteps{} << unmuted({50}) << unmuted({19});
        QTest::newRow("at 20 %: left alone") << unmuted({20}) << RingSteps{} << unmuted({20}) << unmuted({20});
        QTest::newRow("at 100 %: left alone") << unmuted({100}) << RingSteps{} << unmuted({100}) << unmuted({100});
        QTest::newRow("uneven, judged by the loudest") << unmuted({30, 5}) << RingSteps{} << unmuted({30, 5}) << unmuted({30, 5});
        QTest::newRow("uneven and quiet: lifted, balance kept") << unmuted({10, 5}) << RingSteps{} << unmuted({50, 25}) << unmuted({10, 5});
        QTest::newRow("the server rounds: still put back") << muted({10, 5}) << RingSteps{user(ServerRounds)} << unmuted({50, 25}) << muted({10, 5});
        QTest::newRow("user mutes the lifted sink: muted stays") << unmuted({5}) << RingSteps{user(UserMutes)} << unmuted({50}) << muted({5});
        QTest::newRow("user mutes and unmutes: put back") << muted({70}) << RingSteps{user(UserMutes), user(UserUnmutes)} << unmuted({70}) << muted({70});
        QTest::newRow("user lowers the volume: kept") << unmuted({5}) << RingSteps{user(UserSetsVolume, 30)} << unmuted({50}) << unmuted({30});
        QTest::newRow("user raises the volume: kept, mute put back") << muted({0}) << RingSteps{user(UserSetsVolume, 80)} << unmuted({50}) << muted({80});
        QTest::newRow("ring again: the user's own still put back") << muted({5}) << RingSteps{user(RingAgain)} << unmuted({50}) << muted({5});
        QTest::newRow("ring again after the user muted") << muted({70}) << RingSteps{user(UserMutes), user(RingAgain)} << unmuted({70}) << muted({70});
        QTest::newRow("ring again after the user set a volume") << unmuted({5}) << RingSteps{user(UserSetsVolume, 30), user(RingAgain)} << unmuted({30}) << unmuted({30});
        QTest::newRow("ring again after the user turned it down") << unmuted({30}) << RingSteps{user(RingAgain), user(UserSetsVolume, 3), user(RingAgain)} << unmuted({50}) << unmuted({3});
        // clang-format on
    }
    void outputVolume()
    {
        QFETCH(SinkSetting, before);
        QFETCH(RingSteps, meanwhile);
        QFETCH(SinkSetting, ringing);
        QFETCH(SinkSetting, after);
        using namespace OutputVolumeRules;
        std::optional<Raised> raised = raise(before, std::nullopt);
        SinkSetting now = raised ? raised->set : before;
        SinkSetting rang = now;
        for (const RingStep &step : meanwhile) {
            switch (step.what) {
            case Meanwhile::UserMutes:
            case Meanwhile::UserUnmutes:
                now.muted = step.what == Meanwhile::UserMutes;
                break;
            case Meanwhile::UserSetsVolume:
                now.channels.assign(now.channels.size(), volume(step.percent));
                break;
            case Meanwhile::ServerRounds:
                for (std::uint32_t &c : now.channels)
                    c += 1;
                break;
            case Meanwhile::RingAgain:
                raised = raise(now, raised);
                now = rang = raised ? raised->set : now;
                break;
            default:
                QFAIL("unknown step");
            }
        }
        if (raised) {
            const RestorePlan plan = restorePlan(*raised, now);
            if (plan.mute == Restore::PutBack)
                now.muted = raised->user.muted;
            if (plan.volume == Restore::PutBack)
                now.channels = raised->user.channels;
        }
        QVERIFY2(rang == ringing, shown(rang) + " as the ring started, not " + shown(ringing));
        QVERIFY2(now == after, shown(now) + " after the ring, not " + shown(after));
    }
};

QTEST_GUILESS_MAIN(TestSound)
#include "tst_sound.moc"
