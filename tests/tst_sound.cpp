// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
// The sound player through a recording platform, and the SDL layer heard
// through SDL's disk driver, which writes every sample it plays to a file.
#include "sound/OutputVolumeRules.h"
#include "sound/SoundModuleLoader.h"
#include "sound/csSoundPlayerLibrary.h"
#include "support/FakeSoundPlatform.h"
#include "ui/MsgBox.h"

#include <SDL.h>

#include <QtTest>

#include <functional>
#include <optional>
#include <stdexcept>

using namespace Qt::StringLiterals;
using Sound = csSoundPlayerLibrary;

namespace {

// 16-bit stereo samples that are never zero and carry the given sign, so
// that two sounds and silence are told apart at every sample.
QByteArray wav(int frames, int sign)
{
    QByteArray out;
    QDataStream s(&out, QIODevice::WriteOnly);
    s.setByteOrder(QDataStream::LittleEndian);
    // "RIFF", "WAVE", "fmt " and "data" as little-endian numbers.
    s << 0x46464952u << quint32(36 + frames * 4) << 0x45564157u << 0x20746d66u << 16u << quint16(1)
      << quint16(2) << 44100u << 176400u << quint16(4) << quint16(16) << 0x61746164u
      << quint32(frames * 4);
    for (int i = 0; i < frames * 2; ++i)
        s << qint16(sign * (300 + (i * 37) % 20000));
    return out;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QString count(const std::function<int()> &f)
{
    try {
        return QString::number(f());
    } catch (const std::overflow_error &) {
        return u"overflow"_s;
    }
}

} // namespace

class TestSound : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    const QString m_out = m_dir.filePath(u"heard.raw"_s);
    const QString m_bare = u"vellwake-lookup-%1.wav"_s.arg(QCoreApplication::applicationPid());
    const QString m_besideProgram = QCoreApplication::applicationDirPath() + u'/' + m_bare;
    QHash<QChar, QByteArray> m_files, m_pcm; // each test sound, and what it sounds like

    // What the device wrote: silence, then each sound in turn (one marked
    // '*' looped: at least once in full, then cut anywhere), then silence.
    QString heard(const QString &expected)
    {
        SoundModuleLoader::shutdown(); // closes the output file
        QFile::remove(m_besideProgram);
        QFile::remove(m_bare);
        QFile f(m_out);
        const QByteArray out = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        qsizetype at = 0;
        for (const QString &part : expected.split(u' ')) {
            const QByteArray &pcm = m_pcm[part.at(0)];
            const qsizetype start = out.indexOf(pcm, at);
            if (start < 0 || out.mid(at, start - at).count('\0') != start - at)
                return u"not heard: "_s + part;
            at = start + pcm.size();
            while (part.endsWith(u'*') && at + 2 <= out.size()
                   && out.mid(at, 2) == pcm.mid((at - start) % pcm.size(), 2))
                at += 2;
        }
        return out.mid(at).count('\0') == out.size() - at ? expected : u"not silent at the end"_s;
    }

private Q_SLOTS:
    void initTestCase()
    {
        // The disk driver announces itself at every open.
        SDL_LogSetOutputFunction([](void *, int, SDL_LogPriority, const char *) {}, nullptr);
        QFile defaultSound(QStringLiteral(VELLWAKE_SOURCE_DIR "/assets/default.wav"));
        QVERIFY(defaultSound.open(QIODevice::ReadOnly));
        m_pcm[u'd'] = defaultSound.readAll().mid(44); // behind its plain 44-byte header
        m_files = {{u'a', wav(2205, 1)},        {u'r', wav(1500, -1)},
                   {u'n', wav(2000, 1)},        {u'p', wav(2000, -1)},
                   {u'x', "just some words\n"}, {u'c', wav(2205, 1).left(5000)}};
        for (auto it = m_files.cbegin(); it != m_files.cend(); ++it) {
            QVERIFY(writeFile(m_dir.filePath(it.key() + u".wav"_s), it.value()));
            m_pcm[it.key()] = it.value().mid(44);
        }
        QDir::setCurrent(m_dir.path());
    }
    void init()
    {
        SoundModuleLoader::shutdown();
        QFile::remove(m_out);
        qputenv("SDL_AUDIODRIVER", "disk");
        qputenv("SDL_DISKAUDIOFILE", "heard.raw"); // in the current directory
    }

    // Steps separated by "; ". Rows in lower case meet a recording platform:
    // "p alarm.wav" sets the path, "f -1 0" plays the file, "s 0 SystemExit" a
    // system sound, "x" stops, "n 2" counts two devices. Upper case meets SDL:
    // "L a" plays sound a looped in the background, "O a" once and waiting,
    // "S" stops, "W 3" waits for three more plays of the last sound to be
    // written out, "CWD" and "EXE" put sounds n and p in the current directory
    // and beside the program under one bare name that "O n" plays.
    void player_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("expected");
        // clang-format off
        QTest::newRow("loop, background") << u"p alarm.wav; f -1 -1"_s << u"alarm.wav 0 20009"_s;
        QTest::newRow("loop, waiting drops the loop") << u"p alarm.wav; f -1 0"_s << u"alarm.wav 0 20000"_s;
        QTest::newRow("once, background") << u"p alarm.wav; f 0 -1"_s << u"alarm.wav 0 20001"_s;
        QTest::newRow("once, waiting") << u"p alarm.wav; f 0 0"_s << u"alarm.wav 0 20000"_s;
        QTest::newRow("any non-zero is True") << u"p alarm.wav; f 1 2; f 0 -32768"_s << u"alarm.wav 0 20009; alarm.wav 0 20001"_s;
        QTest::newRow("no path yet: null") << u"f -1 -1"_s << u"null 0 20009"_s;
        QTest::newRow("system sound, background") << u"s 5 SystemAsterisk"_s << u"SystemAsterisk 0 1"_s;
        QTest::newRow("system sound, waiting") << u"s 0 SystemExit"_s << u"SystemExit 0 10000"_s;
        QTest::newRow("stop") << u"x"_s << u"null 0 0"_s;
        QTest::newRow("a missing file is accepted") << u"p alarm.wav; p no/such.wav; f 0 0"_s << u"no/such.wav 0 20000"_s;
        QTest::newRow("empty path refused, old kept") << u"p alarm.wav; p ; f 0 0"_s << u"box No path or valid path been selected| Need to select a Valid Path.|0|16; alarm.wav 0 20000"_s;
        QTest::newRow("devices: none, one, the most an Integer holds, one more") << u"n 0; n 1; n 32767; n 32768"_s << u"0 0; 1 -1; 32767 -1; overflow overflow"_s;
        QTest::newRow("a loop repeats exactly, stop silences") << u"L a; W 3; S"_s << u"a*"_s;
        QTest::newRow("a waiting play plays once") << u"O a"_s << u"a"_s;
        QTest::newRow("a replace starts the new sound at its start") << u"L a; W 2; L r; W 4; S"_s << u"a* r*"_s;
        QTest::newRow("a missing file plays the default") << u"O m"_s << u"d"_s;
        QTest::newRow("a broken file plays the default") << u"O x"_s << u"d"_s;
        QTest::newRow("a cut file plays the default") << u"O c"_s << u"d"_s;
        QTest::newRow("the current directory first") << u"CWD; EXE; O n"_s << u"n"_s;
        QTest::newRow("then the program's directory") << u"EXE; O n"_s << u"p"_s;
        // A failed start does not keep the next sound silent.
        QTest::newRow("again after no audio driver") << u"SDL_AUDIODRIVER none; O a; SDL_AUDIODRIVER disk; L a; W 3; S"_s << u"a*"_s;
        QTest::newRow("again after no output file") << u"SDL_DISKAUDIOFILE /none/such.raw; O a; SDL_DISKAUDIOFILE heard.raw; L a; W 3; S"_s << u"a*"_s;
        // clang-format on
    }
    void player()
    {
        QFETCH(QString, script);
        QFETCH(QString, expected);
        std::optional<FakeSoundPlatform> platform;
        if (script.at(0).isLower())
            platform.emplace();
        MsgBox::setHandler([&](const MsgBox::Request &r) {
            platform->calls
                    << u"box %1|%2|%3|%4"_s.arg(r.prompt, r.title).arg(r.buttons).arg(r.icon);
            return MsgBox::Ok;
        });
        Sound player;
        QChar last;
        qint64 mark = 0;
        for (const QString &step : script.split(u"; "_s)) {
            const QStringList arg = step.split(u' ');
            if (arg[0] == u"p")
                player.setSoundPath(arg[1]);
            else if (arg[0] == u"f")
                player.playSoundFile(arg[1].toShort(), arg[2].toShort());
            else if (arg[0] == u"s")
                player.playSystemSound(arg[2], arg[1].toShort());
            else if (arg[0] == u"x" || arg[0] == u"S")
                player.stopPlay();
            else if (arg[0] == u"n")
                platform->devices = arg[1].toUInt(),
                platform->calls << count([&] { return player.numberOfSoundCards(); }) + u' '
                                + count([&] { return player.soundCardInstalled(); });
            else if (arg[0] == u"W")
                QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(m_out).size()
                                                 >= mark + arg[1].toInt() * m_pcm[last].size(),
                                         2000);
            else if (arg[0] == u"CWD" || arg[0] == u"EXE")
                QVERIFY(arg[0] == u"CWD" ? writeFile(m_bare, m_files[u'n'])
                                         : writeFile(m_besideProgram, m_files[u'p']));
            else if (arg[0].startsWith(u"SDL_"))
                qputenv(qPrintable(arg[0]), arg[1].toLocal8Bit());
            else
                last = arg[1].at(0),
                player.setSoundPath(last == u'n' ? m_bare : m_dir.filePath(arg[1] + u".wav"_s)),
                player.playSoundFile(-(arg[0] == u"L"), -(arg[0] == u"L"));
            mark = QFileInfo(m_out).size();
        }
        MsgBox::setHandler({});
        QCOMPARE(platform ? platform->calls.join(u"; ") : heard(expected), expected);
    }

    // --- The output a ring raises, and what is put back after it -----------
    // The decisions alone, on the values a sink shows; the audio module
    // reads and writes them through the sound server.
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
    struct Step
    {
        Meanwhile what;
        int percent = 0;
    };
    using Steps = QList<Step>;

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
        QTest::addColumn<Steps>("meanwhile");
        QTest::addColumn<SinkSetting>("ringing"); // as the last ring start left it
        QTest::addColumn<SinkSetting>("after"); // once it has stopped
        const auto user = [](Meanwhile what, int percent = 0) { return Step{what, percent}; };
        using enum Meanwhile;
        // clang-format off
        QTest::newRow("muted at 70 %: unmuted, volume kept") << muted({70}) << Steps{} << unmuted({70}) << muted({70});
        QTest::newRow("at 5 %: lifted to 50 %") << unmuted({5}) << Steps{} << unmuted({50}) << unmuted({5});
        QTest::newRow("muted at 0 %: unmuted and lifted") << muted({0}) << Steps{} << unmuted({50}) << muted({0});
        QTest::newRow("at 19 %: lifted") << unmuted({19}) << Steps{} << unmuted({50}) << unmuted({19});
        QTest::newRow("at 20 %: left alone") << unmuted({20}) << Steps{} << unmuted({20}) << unmuted({20});
        QTest::newRow("at 100 %: left alone") << unmuted({100}) << Steps{} << unmuted({100}) << unmuted({100});
        QTest::newRow("uneven, judged by the loudest") << unmuted({30, 5}) << Steps{} << unmuted({30, 5}) << unmuted({30, 5});
        QTest::newRow("uneven and quiet: lifted, balance kept") << unmuted({10, 5}) << Steps{} << unmuted({50, 25}) << unmuted({10, 5});
        QTest::newRow("the server rounds: still put back") << muted({10, 5}) << Steps{user(ServerRounds)} << unmuted({50, 25}) << muted({10, 5});
        QTest::newRow("user mutes the lifted sink: muted stays") << unmuted({5}) << Steps{user(UserMutes)} << unmuted({50}) << muted({5});
        QTest::newRow("user mutes and unmutes: put back") << muted({70}) << Steps{user(UserMutes), user(UserUnmutes)} << unmuted({70}) << muted({70});
        QTest::newRow("user lowers the volume: kept") << unmuted({5}) << Steps{user(UserSetsVolume, 30)} << unmuted({50}) << unmuted({30});
        QTest::newRow("user raises the volume: kept, mute put back") << muted({0}) << Steps{user(UserSetsVolume, 80)} << unmuted({50}) << muted({80});
        QTest::newRow("ring again: the user's own still put back") << muted({5}) << Steps{user(RingAgain)} << unmuted({50}) << muted({5});
        QTest::newRow("ring again after the user muted") << muted({70}) << Steps{user(UserMutes), user(RingAgain)} << unmuted({70}) << muted({70});
        QTest::newRow("ring again after the user set a volume") << unmuted({5}) << Steps{user(UserSetsVolume, 30), user(RingAgain)} << unmuted({30}) << unmuted({30});
        QTest::newRow("ring again after the user turned it down") << unmuted({30}) << Steps{user(RingAgain), user(UserSetsVolume, 3), user(RingAgain)} << unmuted({50}) << unmuted({3});
        // clang-format on
    }
    void outputVolume()
    {
        QFETCH(SinkSetting, before);
        QFETCH(Steps, meanwhile);
        QFETCH(SinkSetting, ringing);
        QFETCH(SinkSetting, after);
        using namespace OutputVolumeRules;
        std::optional<Raised> raised = raise(before, std::nullopt);
        SinkSetting now = raised ? raised->set : before;
        SinkSetting rang = now;
        for (const Step &step : meanwhile) {
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
