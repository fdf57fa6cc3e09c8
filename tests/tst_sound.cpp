// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
// The sound layer in three parts: the player's calls through a recording
// platform; the sound thread through an audio module of the test's own,
// whose calls the test can hold; and the real audio module heard through
// SDL's disk driver, which writes every sample it plays to a file.
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

class Environment
{
public:
    Environment() = default;
    Environment(const Environment &) = delete;
    ~Environment()
    {
        for (auto it = m_saved.cbegin(); it != m_saved.cend(); ++it)
            it.value() ? qputenv(it.key(), *it.value()) : qunsetenv(it.key());
    }
    void set(const char *name, const QByteArray &value)
    {
        if (!m_saved.contains(name))
            m_saved.insert(name,
                           qEnvironmentVariableIsSet(name)
                                   ? std::optional<QByteArray>(qgetenv(name))
                                   : std::nullopt);
        qputenv(name, value);
    }

private:
    QHash<QByteArray, std::optional<QByteArray>> m_saved;
};

class CurrentDirectory
{
public:
    explicit CurrentDirectory(const QString &dir)
        : m_old(QDir::currentPath())
    {
        QDir::setCurrent(dir);
    }
    CurrentDirectory(const CurrentDirectory &) = delete;
    ~CurrentDirectory() { QDir::setCurrent(m_old); }

private:
    const QString m_old;
};

// Answers every message box with OK and keeps what it was asked.
class MessageBoxes
{
public:
    MessageBoxes()
    {
        MsgBox::setHandler([this](const MsgBox::Request &r) {
            seen << r;
            return MsgBox::Ok;
        });
    }
    MessageBoxes(const MessageBoxes &) = delete;
    ~MessageBoxes() { MsgBox::setHandler({}); }
    QList<MsgBox::Request> seen;
};

// Keeps the sound layer's warnings, which come from its thread.
class SoundWarnings
{
public:
    SoundWarnings()
    {
        s_current = this;
        m_previous = qInstallMessageHandler(handle);
    }
    SoundWarnings(const SoundWarnings &) = delete;
    ~SoundWarnings()
    {
        qInstallMessageHandler(m_previous);
        s_current = nullptr;
    }
    QStringList texts() const
    {
        std::lock_guard lock(m_mutex);
        return m_texts;
    }

private:
    static void handle(QtMsgType type, const QMessageLogContext &context, const QString &text)
    {
        if (type == QtWarningMsg && qstrcmp(context.category, "vellwake.sound") == 0) {
            std::lock_guard lock(s_current->m_mutex);
            s_current->m_texts << text;
            return;
        }
        s_current->m_previous(type, context, text);
    }
    static inline SoundWarnings *s_current = nullptr;
    QtMessageHandler m_previous = nullptr;
    mutable std::mutex m_mutex;
    QStringList m_texts;
};

// --- An audio module of the test's own ---------------------------------------

// Records what the sound thread asks of it and answers as the row says. A
// play can be held inside the module, as a hung sound server holds it.
class TestModule
{
public:
    enum Kind { Play, Stop, Check, Count, Shutdown };
    struct Seen
    {
        Kind kind;
        QByteArray name;
        DWORD flags = 0;
        bool operator==(const Seen &) const = default;
    };
    struct Answers
    {
        bool loads = true;
        PlayResult play = PlayResult::Played;
        const char *outputProblem = nullptr;
    };

    void answer(const Answers &answers)
    {
        std::lock_guard lock(m_mutex);
        m_answers = answers;
    }
    void shutGate()
    {
        std::lock_guard lock(m_mutex);
        m_gateShut = true;
    }
    void openGate()
    {
        {
            std::lock_guard lock(m_mutex);
            m_gateShut = false;
        }
        m_changed.notify_all();
    }
    int heldPlays() const
    {
        std::lock_guard lock(m_mutex);
        return m_held;
    }
    int loadTries() const
    {
        std::lock_guard lock(m_mutex);
        return m_loadTries;
    }
    // Plays, stops and checks in the order they came.
    QList<Seen> seen() const
    {
        std::lock_guard lock(m_mutex);
        QList<Seen> out;
        for (const Seen &s : m_seen)
            if (s.kind != Count && s.kind != Shutdown)
                out << s;
        return out;
    }
    void forget()
    {
        std::lock_guard lock(m_mutex);
        m_seen.clear();
    }

    const SoundModule *load(QString &error)
    {
        std::lock_guard lock(m_mutex);
        ++m_loadTries;
        if (m_answers.loads)
            return &table;
        error = u"no such module here"_s;
        return nullptr;
    }

    static inline TestModule *s_current = nullptr;
    static const SoundModule table;

    PlayResult play(LPCSTR name, DWORD flags)
    {
        std::unique_lock lock(m_mutex);
        m_seen << Seen{name ? Play : Stop, name, flags};
        ++m_held;
        m_changed.wait(lock, [this] { return !m_gateShut; });
        --m_held;
        return m_answers.play;
    }
    const char *check()
    {
        std::lock_guard lock(m_mutex);
        m_seen << Seen{Check, {}};
        return m_answers.outputProblem;
    }
    void record(Kind kind)
    {
        std::lock_guard lock(m_mutex);
        m_seen << Seen{kind, {}};
    }

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    Answers m_answers;
    QList<Seen> m_seen;
    bool m_gateShut = false;
    int m_held = 0;
    int m_loadTries = 0;
};

const SoundModule TestModule::table{
        [](LPCSTR name, DWORD flags) { return s_current->play(name, flags); },
        [] { return 0.0; }, // a waiting play is heard at once
        [] { return false; }, // nothing to keep an eye on
        [] { return s_current->check(); },
        [] {
            s_current->record(Count);
            return UINT(1);
        },
        [] { s_current->record(Shutdown); }};

// Puts the test's module in place of the real one, with no problem left
// from an earlier row, and the real one back at the end.
class UseTestModule
{
public:
    explicit UseTestModule(TestModule &module)
        : m_module(module)
    {
        TestModule::s_current = &module;
        SoundModuleLoader::setModuleSource([&module](QString &e) { return module.load(e); });
        settle();
        module.forget();
    }
    UseTestModule(const UseTestModule &) = delete;
    ~UseTestModule()
    {
        m_module.openGate();
        SoundModuleLoader::setModuleSource({});
        TestModule::s_current = nullptr;
    }
    // Returns once the sound thread has done all it was asked so far: the
    // device count is the one request whose caller waits for the answer.
    static void settle()
    {
        SoundModuleLoader::checkOutput();
        waveOutGetNumDevs();
    }

private:
    TestModule &m_module;
};

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

// The test's sounds: four in the device's format, the built-in default, and
// three files that cannot be played.
enum class Tone { A, R, N, P, Default, Broken, Cut, Missing };
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
    WaitPlays, // until `count` more plays of the last sound were written out
    Place, // the tone's file as `name` (the bare lookup name if empty) at `where`
    Driver, // SDL's audio driver is `name`
    OutputTo, // where the disk driver writes
    Check, // the output is looked at; `problem` is the answer expected
};

struct Step
{
    Act act;
    Tone tone = Tone::A;
    int count = 0;
    QByteArray name = {};
    Where where = Where::Here;
    Owner owner = Owner::Me;
    Output output = Output::Heard;
    SoundProblem problem = SoundProblem::None;
};

Step loop(Tone t)
{
    return {Act::Loop, t};
}
Step once(Tone t)
{
    return {Act::Once, t};
}
Step onceNamed()
{
    return {Act::OnceNamed};
}
Step inBackground(Tone t)
{
    return {Act::OnceInBackground, t};
}
Step systemSound(const QByteArray &name)
{
    return {Act::System, Tone::Default, 0, name};
}
Step stop()
{
    return {Act::Stop};
}
Step waitPlays(int n)
{
    return {Act::WaitPlays, Tone::A, n};
}
Step place(Tone t, Where w, Owner o = Owner::Me, const QByteArray &name = {})
{
    return {Act::Place, t, 0, name, w, o};
}
Step driver(const QByteArray &name)
{
    return {Act::Driver, Tone::A, 0, name};
}
Step outputTo(Output o)
{
    return {Act::OutputTo, Tone::A, 0, {}, Where::Here, Owner::Me, o};
}
Step check(SoundProblem p)
{
    return {Act::Check, Tone::A, 0, {}, Where::Here, Owner::Me, Output::Heard, p};
}

// A call of the player.
struct Use
{
    enum Kind { File, System, Stop } kind;
    Sound::Boolean loop = 0; // for a file
    Sound::Boolean aSync = 0;
    QString name = {}; // for a system sound
};

// One sound heard in full; a looped one at least once, then cut anywhere.
struct Heard
{
    Tone tone;
    bool looped = false;
};

// A request the sound thread is handed while its module is held.
enum class Ask { Loop, OnceInBackground, Stop, Check };
struct Request
{
    Ask ask;
    QByteArray name = {};
};

// One look at the sound layer through the test's module.
enum class Probe { Check, Loop };
struct ProbeStep
{
    Probe probe;
    TestModule::Answers answers;
    SoundProblem expected;
};

} // namespace

Q_DECLARE_METATYPE(Call)
Q_DECLARE_METATYPE(Use)
Q_DECLARE_METATYPE(std::optional<csSoundPlayerLibrary::Integer>)
Q_DECLARE_METATYPE(Step)
Q_DECLARE_METATYPE(Heard)
Q_DECLARE_METATYPE(WavFormat)
Q_DECLARE_METATYPE(Request)
Q_DECLARE_METATYPE(TestModule::Seen)
Q_DECLARE_METATYPE(ProbeStep)

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
    std::optional<Environment> m_env;
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
            QTRY_VERIFY_WITH_TIMEOUT(size() >= mark + step.count * m_pcm[last].size(), 10000);
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
            m_env->set("SDL_AUDIODRIVER", step.name);
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
        QVERIFY(!m_pcm[Tone::Default].isEmpty());
        m_files = {{Tone::A, wav(deviceWav, 2400, 1)},
                   {Tone::R, wav(deviceWav, 1600, -1)},
                   {Tone::N, wav(deviceWav, 2000, 1)},
                   {Tone::P, wav(deviceWav, 2000, -1)},
                   {Tone::Broken, "just some words\n"},
                   {Tone::Cut, wav(deviceWav, 2400, 1).left(5000)}};
        for (auto it = m_files.cbegin(); it != m_files.cend(); ++it) {
            QVERIFY(writeFile(fileOf(it.key()), it.value()));
            m_pcm[it.key()] = it.value().mid(44);
        }
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
        m_env.emplace();
        m_env->set("SDL_AUDIODRIVER", "disk");
        m_env->set("SDL_DISKAUDIOFILE", QFile::encodeName(m_output));
    }
    void cleanup()
    {
        SoundModuleLoader::shutdown();
        for (const QString &path : std::as_const(m_placed))
            QFile::remove(path);
        m_placed.clear();
        m_env.reset();
    }

    // The player's calls: its flag choice, the device-count rule and the
    // empty-path message box.
    void player_data()
    {
        QTest::addColumn<QString>("path"); // set first, unless null
        QTest::addColumn<QList<Use>>("uses");
        QTest::addColumn<QList<Call>>("calls");
        const auto call = [](const char *name, DWORD flags) { return Call{name, nullptr, flags}; };
        const QString alarm = u"alarm.wav"_s;
        QTest::newRow("loop, background") << alarm << QList<Use>{{Use::File, -1, -1}}
                                          << QList<Call>{call("alarm.wav", 0x20009)};
        QTest::newRow("loop, waiting drops the loop") << alarm << QList<Use>{{Use::File, -1, 0}}
                                                      << QList<Call>{call("alarm.wav", 0x20000)};
        QTest::newRow("once, background") << alarm << QList<Use>{{Use::File, 0, -1}}
                                          << QList<Call>{call("alarm.wav", 0x20001)};
        QTest::newRow("once, waiting") << alarm << QList<Use>{{Use::File, 0, 0}}
                                       << QList<Call>{call("alarm.wav", 0x20000)};
        QTest::newRow("any non-zero is True")
                << alarm << QList<Use>{{Use::File, 1, 2}, {Use::File, 0, -32768}}
                << QList<Call>{call("alarm.wav", 0x20009), call("alarm.wav", 0x20001)};
        QTest::newRow("no path yet: null") << QString() << QList<Use>{{Use::File, -1, -1}}
                                           << QList<Call>{{std::nullopt, nullptr, 0x20009}};
        QTest::newRow("a missing file is accepted")
                << u"no/such.wav"_s << QList<Use>{{Use::File, 0, 0}}
                << QList<Call>{call("no/such.wav", 0x20000)};
        QTest::newRow("system sound, background")
                << QString() << QList<Use>{{Use::System, 0, 5, u"SystemAsterisk"_s}}
                << QList<Call>{call("SystemAsterisk", 0x1)};
        QTest::newRow("system sound, waiting")
                << QString() << QList<Use>{{Use::System, 0, 0, u"SystemExit"_s}}
                << QList<Call>{call("SystemExit", 0x10000)};
        QTest::newRow("stop") << alarm << QList<Use>{{Use::Stop}}
                              << QList<Call>{{std::nullopt, nullptr, 0}};
    }
    void player()
    {
        QFETCH(QString, path);
        QFETCH(QList<Use>, uses);
        QFETCH(QList<Call>, calls);
        FakeSoundPlatform platform;
        Sound player;
        if (!path.isNull())
            player.setSoundPath(path);
        for (const Use &use : uses) {
            switch (use.kind) {
            case Use::File:
                player.playSoundFile(use.loop, use.aSync);
                break;
            case Use::System:
                player.playSystemSound(use.name, use.aSync);
                break;
            case Use::Stop:
                player.stopPlay();
                break;
            }
        }
        QCOMPARE(platform.calls, calls);
    }

    void emptyPathRefused()
    {
        FakeSoundPlatform platform;
        MessageBoxes boxes;
        Sound player;
        player.setSoundPath(u"alarm.wav"_s);
        player.setSoundPath(QString(u""_s));
        QCOMPARE(boxes.seen.size(), 1);
        const MsgBox::Request box = boxes.seen.first();
        QCOMPARE(box.prompt, u"No path or valid path been selected"_s);
        QCOMPARE(box.title, u" Need to select a Valid Path."_s);
        QCOMPARE(box.buttons, MsgBox::OkOnly);
        QCOMPARE(int(box.icon), 16);
        QCOMPARE(player.soundPath(), u"alarm.wav"_s);
    }

    void deviceCount_data()
    {
        QTest::addColumn<UINT>("devices");
        QTest::addColumn<std::optional<Sound::Integer>>("cards"); // none: overflow
        QTest::addColumn<Sound::Boolean>("installed");
        QTest::newRow("none") << 0u << std::optional<Sound::Integer>(0) << Sound::False;
        QTest::newRow("one") << 1u << std::optional<Sound::Integer>(1) << Sound::True;
        QTest::newRow("the most an Integer holds")
                << 32767u << std::optional<Sound::Integer>(32767) << Sound::True;
        QTest::newRow("one more") << 32768u << std::optional<Sound::Integer>() << Sound::False;
    }
    void deviceCount()
    {
        QFETCH(UINT, devices);
        QFETCH(std::optional<Sound::Integer>, cards);
        QFETCH(Sound::Boolean, installed);
        FakeSoundPlatform platform;
        platform.devices = devices;
        const Sound player;
        if (!cards) {
            QVERIFY_THROWS_EXCEPTION(std::overflow_error, player.numberOfSoundCards());
            QVERIFY_THROWS_EXCEPTION(std::overflow_error, player.soundCardInstalled());
            return;
        }
        QCOMPARE(player.numberOfSoundCards(), *cards);
        QCOMPARE(player.soundCardInstalled(), installed);
    }

    // Calls made while the module is held in a play (a hung sound server)
    // return at once; the thread carries out the last of them afterwards.
    void handOver_data()
    {
        QTest::addColumn<QList<Request>>("whileHeld");
        QTest::addColumn<QList<TestModule::Seen>>("seen");
        const TestModule::Seen held{TestModule::Play, "held.wav",
                                    SND_FILENAME | SND_ASYNC | SND_LOOP};
        QTest::newRow("a stop returns, and is carried out after")
                << QList<Request>{{Ask::Stop}}
                << QList<TestModule::Seen>{held, TestModule::Seen{TestModule::Stop, {}}};
        QTest::newRow("of several plays and stops the last wins")
                << QList<Request>{{Ask::Loop, "b.wav"},
                                  {Ask::Stop},
                                  {Ask::OnceInBackground, "c.wav"}}
                << QList<TestModule::Seen>{held,
                                           {TestModule::Play, "c.wav", SND_FILENAME | SND_ASYNC}};
        QTest::newRow("a check returns, and is answered after")
                << QList<Request>{{Ask::Check}}
                << QList<TestModule::Seen>{held, TestModule::Seen{TestModule::Check, {}}};
    }
    void handOver()
    {
        QFETCH(QList<Request>, whileHeld);
        QFETCH(QList<TestModule::Seen>, seen);
        TestModule module;
        UseTestModule use(module);
        module.shutGate();
        QCOMPARE(PlaySoundA("held.wav", nullptr, SND_FILENAME | SND_ASYNC | SND_LOOP), TRUE);
        QTRY_COMPARE(module.heldPlays(), 1);
        for (const Request &r : whileHeld) {
            switch (r.ask) {
            case Ask::Loop:
                QCOMPARE(PlaySoundA(r.name, nullptr, SND_FILENAME | SND_ASYNC | SND_LOOP), TRUE);
                break;
            case Ask::OnceInBackground:
                QCOMPARE(PlaySoundA(r.name, nullptr, SND_FILENAME | SND_ASYNC), TRUE);
                break;
            case Ask::Stop:
                QCOMPARE(PlaySoundA(nullptr, nullptr, 0), TRUE);
                break;
            case Ask::Check:
                SoundModuleLoader::checkOutput();
                QCOMPARE(SoundModuleLoader::outputProblem(), SoundProblem::None);
                break;
            }
            // Returned while the module is still held in the first play.
            QCOMPARE(module.heldPlays(), 1);
            QCOMPARE(module.seen().size(), 1);
        }
        module.openGate();
        UseTestModule::settle();
        QCOMPARE(module.seen().mid(0, seen.size()), seen);
    }

    // What the sound layer says when no sound can be played, and how often.
    void problems_data()
    {
        QTest::addColumn<QList<ProbeStep>>("steps");
        QTest::addColumn<int>("warnings");
        QTest::addColumn<QString>("named"); // in the first warning
        const TestModule::Answers missing{false};
        const TestModule::Answers noOutput{true, PlayResult::NoOutput, "no output device"};
        const TestModule::Answers fine{};
        using P = SoundProblem;
        QTest::newRow("no audio module, said once with the loader's reason")
                << QList<ProbeStep>{{Probe::Check, missing, P::NoAudioModule},
                                    {Probe::Check, missing, P::NoAudioModule}}
                << 1 << u"no such module here"_s;
        QTest::newRow("a failed load is tried again at the next request")
                << QList<ProbeStep>{{Probe::Check, missing, P::NoAudioModule},
                                    {Probe::Check, fine, P::None}}
                << 1 << u"module"_s;
        QTest::newRow("no output device, said once")
                << QList<ProbeStep>{{Probe::Check, noOutput, P::NoOutputDevice},
                                    {Probe::Check, noOutput, P::NoOutputDevice}}
                << 1 << u"no output device"_s;
        QTest::newRow("a problem that clears and comes back is said again")
                << QList<ProbeStep>{{Probe::Check, noOutput, P::NoOutputDevice},
                                    {Probe::Check, fine, P::None},
                                    {Probe::Check, noOutput, P::NoOutputDevice}}
                << 2 << u"no output device"_s;
        QTest::newRow("a ring that finds no output says so, one that plays clears it")
                << QList<ProbeStep>{{Probe::Loop, noOutput, P::NoOutputDevice},
                                    {Probe::Loop, fine, P::None}}
                << 1 << u"output"_s;
        QTest::newRow("a ring finds the module missing")
                << QList<ProbeStep>{{Probe::Loop, missing, P::NoAudioModule}} << 1
                << u"no such module here"_s;
    }
    void problems()
    {
        QFETCH(QList<ProbeStep>, steps);
        QFETCH(int, warnings);
        QFETCH(QString, named);
        TestModule module;
        UseTestModule use(module);
        SoundWarnings said;
        for (const ProbeStep &step : steps) {
            module.answer(step.answers);
            // A module that cannot be had: the layer starts again without it.
            if (!step.answers.loads)
                SoundModuleLoader::shutdown();
            const int tries = module.loadTries();
            if (step.probe == Probe::Check)
                SoundModuleLoader::checkOutput();
            else
                PlaySoundA("alarm.wav", nullptr, SND_FILENAME | SND_ASYNC | SND_LOOP);
            waveOutGetNumDevs();
            QCOMPARE(SoundModuleLoader::outputProblem(), step.expected);
            if (!step.answers.loads)
                QVERIFY(module.loadTries() > tries); // looked for again
        }
        QCOMPARE(said.texts().size(), warnings);
        QVERIFY2(said.texts().first().contains(named), qPrintable(said.texts().first()));
    }

    // The real module, heard byte for byte.
    void heard_data()
    {
        QTest::addColumn<QList<Step>>("steps");
        QTest::addColumn<QList<Heard>>("heard");
        using T = Tone;
        QTest::newRow("a loop repeats exactly, a stop silences it")
                << QList<Step>{loop(T::A), waitPlays(3), stop()} << QList<Heard>{{T::A, true}};
        QTest::newRow("a waiting play plays once")
                << QList<Step>{once(T::A)} << QList<Heard>{{T::A}};
        QTest::newRow("a replace starts the new sound at its start")
                << QList<Step>{loop(T::A), waitPlays(2), loop(T::R), waitPlays(4), stop()}
                << QList<Heard>{{T::A, true}, {T::R, true}};
        QTest::newRow("a loop replaced by a sound played once ends in silence")
                << QList<Step>{loop(T::A), waitPlays(2), inBackground(T::R), waitPlays(3)}
                << QList<Heard>{{T::A, true}, {T::R}};
        QTest::newRow("a missing file plays the default")
                << QList<Step>{once(T::Missing)} << QList<Heard>{{T::Default}};
        QTest::newRow("a broken file plays the default")
                << QList<Step>{once(T::Broken)} << QList<Heard>{{T::Default}};
        QTest::newRow("a cut file plays the default")
                << QList<Step>{once(T::Cut)} << QList<Heard>{{T::Default}};
        QTest::newRow("the current directory first")
                << QList<Step>{place(T::P, Where::BesideProgram), place(T::N, Where::Here),
                               onceNamed()}
                << QList<Heard>{{T::N}};
        QTest::newRow("then the program's directory")
                << QList<Step>{place(T::P, Where::BesideProgram), onceNamed()}
                << QList<Heard>{{T::P}};
        QTest::newRow("a file another user left in the current directory is passed over")
                << QList<Step>{place(T::P, Where::BesideProgram),
                               place(T::N, Where::Here, Owner::Nobody), onceNamed()}
                << QList<Heard>{{T::P}};
        // With no type flag a name is an alias first: a file named like one,
        // in another case, is not played.
        QTest::newRow("a system alias in another case is the default, not a file")
                << QList<Step>{place(T::N, Where::Here, Owner::Me, "systemexit"),
                               systemSound("systemexit"), waitPlays(1)}
                << QList<Heard>{{T::Default}};
        QTest::newRow("again after no audio driver")
                << QList<Step>{driver("none"), once(T::A),   driver("disk"),
                               loop(T::A),     waitPlays(3), stop()}
                << QList<Heard>{{T::A, true}};
        QTest::newRow("again after no output file") << QList<Step>{outputTo(Output::Nowhere),
                                                                   once(T::A),
                                                                   outputTo(Output::Heard),
                                                                   loop(T::A),
                                                                   waitPlays(3),
                                                                   stop()}
                                                    << QList<Heard>{{T::A, true}};
        // The disk driver gives its device up when a write fails.
        QTest::newRow("a ring whose output was lost comes back by itself")
                << QList<Step>{outputTo(Output::Full), loop(T::A), outputTo(Output::Heard),
                               waitPlays(3), stop()}
                << QList<Heard>{{T::A, true}};
        QTest::newRow("an idle check sees the audio driver go and come") << QList<Step>{
                check(SoundProblem::None), driver("none"), check(SoundProblem::NoOutputDevice),
                driver("disk"), check(SoundProblem::None)} << QList<Heard>{};
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

    // A sound in any format SDL can decode is converted to the device's and
    // heard for its own length: a quarter second is 12000 frames at 48 kHz.
    void formats_data()
    {
        QTest::addColumn<WavFormat>("format");
        QTest::addColumn<int>("frames");
        QTest::newRow("8-bit mono, 11025 Hz") << WavFormat{1, 1, 11025, 8} << 2756;
        QTest::newRow("16-bit stereo, 400 kHz") << WavFormat{1, 2, 400000, 16} << 100000;
        QTest::newRow("32-bit float stereo, 44100 Hz") << WavFormat{3, 2, 44100, 32} << 11025;
        QTest::newRow("16-bit mono, 8000 Hz") << WavFormat{1, 1, 8000, 16} << 2000;
    }
    void formats()
    {
        QFETCH(WavFormat, format);
        QFETCH(int, frames);
        const QString path = m_dir.filePath(u"format.wav"_s);
        QVERIFY(writeFile(path, wav(format, frames)));
        Sound player;
        player.setSoundPath(path);
        player.playSoundFile(Sound::False, Sound::False);
        const QByteArray out = output();
        const auto *samples = reinterpret_cast<const qint16 *>(out.constData());
        const qsizetype count = out.size() / 2;
        qsizetype first = 0, lastSample = count - 1;
        while (first < count && samples[first] == 0)
            ++first;
        while (lastSample > first && samples[lastSample] == 0)
            --lastSample;
        QVERIFY2(first < count, "nothing was heard");
        const qsizetype heardFrames = (lastSample - first + 1) / 2;
        const int expected = 12000;
        QVERIFY2(qAbs(heardFrames - expected) < expected / 50,
                 qPrintable(u"heard %1 frames"_s.arg(heardFrames)));
        // Not the default sound, which swings to both sides: these stay above.
        const qsizetype above = std::count_if(samples + first, samples + lastSample + 1,
                                              [](qint16 s) { return s > 0; });
        QVERIFY(above > (lastSample - first + 1) * 9 / 10);
    }
};

QTEST_GUILESS_MAIN(TestSound)
#include "tst_sound.moc"
