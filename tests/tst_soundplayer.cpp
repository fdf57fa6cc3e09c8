// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
// The sound player against a recording fake of the platform: which calls it
// makes, in which order, with which names and flags.
#include "sound/csSoundPlayerLibrary.h"
#include "support/FakeSoundPlatform.h"
#include "ui/MsgBox.h"

#include <QTest>

#include <climits>
#include <stdexcept>

using Sound = csSoundPlayerLibrary;

class TestSoundPlayer : public QObject
{
    Q_OBJECT

private:
    QList<MsgBox::Request> m_boxes;

private Q_SLOTS:
    void init()
    {
        m_boxes.clear();
        MsgBox::setHandler([this](const MsgBox::Request &r) {
            m_boxes.append(r);
            return MsgBox::Ok;
        });
    }
    void cleanup() { MsgBox::setHandler({}); }

    void playSoundFile_data()
    {
        QTest::addColumn<short>("loop");
        QTest::addColumn<short>("aSync");
        QTest::addColumn<uint>("flags");
        QTest::newRow("loop, background") << short(-1) << short(-1) << 0x20009u;
        QTest::newRow("loop, waiting drops the loop") << short(-1) << short(0) << 0x20000u;
        QTest::newRow("once, background") << short(0) << short(-1) << 0x20001u;
        QTest::newRow("once, waiting") << short(0) << short(0) << 0x20000u;
        // Any non-zero value is True.
        QTest::newRow("1 and 1") << short(1) << short(1) << 0x20009u;
        QTest::newRow("loop 2, aSync 0") << short(2) << short(0) << 0x20000u;
        QTest::newRow("loop 0, aSync -32768") << short(0) << short(-32768) << 0x20001u;
    }
    void playSoundFile()
    {
        QFETCH(short, loop);
        QFETCH(short, aSync);
        QFETCH(uint, flags);
        FakeSoundPlatform fake;
        Sound player;
        player.setSoundPath(QStringLiteral("alarm.wav"));
        player.playSoundFile(loop, aSync);
        QCOMPARE(fake.calls.size(), size_t(1));
        QCOMPARE(fake.calls[0].name, std::optional<std::string>("alarm.wav"));
        QCOMPARE(fake.calls[0].module, nullptr);
        QCOMPARE(fake.calls[0].flags, DWORD(flags));
        QCOMPARE(fake.deviceQueries, 0);
    }

    void playSystemSound_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<short>("aSync");
        QTest::addColumn<uint>("flags");
        QTest::newRow("alias first, background") << "SystemAsterisk" << short(-1) << 0x1u;
        QTest::newRow("alias only, waiting") << "SystemExit" << short(0) << 0x10000u;
        QTest::newRow("a file name, background") << "ding.wav" << short(1) << 0x1u;
        QTest::newRow("empty name, waiting") << "" << short(0) << 0x10000u;
    }
    void playSystemSound()
    {
        QFETCH(QString, name);
        QFETCH(short, aSync);
        QFETCH(uint, flags);
        FakeSoundPlatform fake;
        Sound player;
        player.setSoundPath(QStringLiteral("alarm.wav"));
        player.playSystemSound(name, aSync);
        QCOMPARE(fake.calls.size(), size_t(1));
        // A name is always passed, even an empty one; only a stop passes null.
        QCOMPARE(fake.calls[0].name, std::optional<std::string>(name.toStdString()));
        QCOMPARE(fake.calls[0].module, nullptr);
        QCOMPARE(fake.calls[0].flags, DWORD(flags));
        QCOMPARE(player.soundPath(), QStringLiteral("alarm.wav"));
    }

    void stopPlayPassesNullAndNoFlags()
    {
        FakeSoundPlatform fake;
        Sound player;
        player.setSoundPath(QStringLiteral("alarm.wav"));
        player.playSoundFile(Sound::True, Sound::True);
        QVERIFY(fake.looping());
        player.stopPlay();
        QVERIFY(!fake.looping());
        QCOMPARE(fake.calls.size(), size_t(2));
        QCOMPARE(fake.calls[1].name, std::nullopt);
        QCOMPARE(fake.calls[1].module, nullptr);
        QCOMPARE(fake.calls[1].flags, DWORD(0));
    }

    void everyCallIsOnePlatformCallInOrder()
    {
        FakeSoundPlatform fake;
        Sound player;
        player.setSoundPath(QStringLiteral("a.wav"));
        player.playSoundFile(Sound::True, Sound::True);
        player.setSoundPath(QStringLiteral("b.wav"));
        player.playSoundFile(Sound::False, Sound::True);
        player.playSystemSound(QStringLiteral("SystemHand"), Sound::False);
        player.stopPlay();
        player.playSoundFile(Sound::True, Sound::False);
        const std::vector<std::pair<std::optional<std::string>, DWORD>> expected = {
                {"a.wav", 0x20009}, {"b.wav", 0x20001}, {"SystemHand", 0x10000},
                {std::nullopt, 0},  {"b.wav", 0x20000},
        };
        QCOMPARE(fake.calls.size(), expected.size());
        for (size_t i = 0; i < expected.size(); ++i) {
            QCOMPARE(fake.calls[i].name, expected[i].first);
            QCOMPARE(fake.calls[i].flags, expected[i].second);
        }
    }

    void playWithoutPathPassesNull_data()
    {
        QTest::addColumn<short>("loop");
        QTest::addColumn<short>("aSync");
        QTest::addColumn<uint>("flags");
        QTest::newRow("loop, background") << short(-1) << short(-1) << 0x20009u;
        QTest::newRow("once, waiting") << short(0) << short(0) << 0x20000u;
    }
    void playWithoutPathPassesNull()
    {
        QFETCH(short, loop);
        QFETCH(short, aSync);
        QFETCH(uint, flags);
        FakeSoundPlatform fake;
        Sound player;
        QVERIFY(player.soundPath().isNull());
        // Refused writes leave it a never-stored path too.
        player.setSoundPath(QString());
        player.setSoundPath(QStringLiteral(""));
        player.playSoundFile(loop, aSync);
        QCOMPARE(fake.calls.size(), size_t(1));
        QCOMPARE(fake.calls[0].name, std::nullopt);
        QCOMPARE(fake.calls[0].flags, DWORD(flags));
    }

    void soundPathWrite_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("written");
        QTest::addColumn<QString>("after");
        QTest::addColumn<bool>("refused");
        QTest::newRow("first path") << QString() << "alarm.wav"
                                    << "alarm.wav" << false;
        QTest::newRow("replaced") << "alarm.wav"
                                  << "other.wav"
                                  << "other.wav" << false;
        QTest::newRow("missing file accepted") << "alarm.wav"
                                               << "/no/such/dir/x.wav"
                                               << "/no/such/dir/x.wav" << false;
        QTest::newRow("a blank is not empty") << "alarm.wav"
                                              << " "
                                              << " " << false;
        QTest::newRow("empty refused, old kept") << "alarm.wav"
                                                 << ""
                                                 << "alarm.wav" << true;
        QTest::newRow("null refused, old kept") << "alarm.wav" << QString() << "alarm.wav" << true;
        QTest::newRow("empty refused, none kept") << QString() << "" << QString() << true;
    }
    void soundPathWrite()
    {
        QFETCH(QString, before);
        QFETCH(QString, written);
        QFETCH(QString, after);
        QFETCH(bool, refused);
        FakeSoundPlatform fake;
        Sound player;
        if (!before.isNull())
            player.setSoundPath(before);
        m_boxes.clear();
        player.setSoundPath(written);
        QCOMPARE(player.soundPath(), after);
        QCOMPARE(player.soundPath().isNull(), after.isNull());
        QCOMPARE(m_boxes.size(), refused ? 1 : 0);
        if (refused) {
            QCOMPARE(m_boxes[0].prompt, QStringLiteral("No path or valid path been selected"));
            QCOMPARE(m_boxes[0].title, QStringLiteral(" Need to select a Valid Path."));
            QCOMPARE(m_boxes[0].icon, MsgBox::Critical);
            QCOMPARE(m_boxes[0].buttons, MsgBox::OkOnly);
        }
        // Writing the path never touches the sound.
        QVERIFY(fake.calls.empty());
        // The stored path is what plays.
        player.playSoundFile(Sound::False, Sound::True);
        QCOMPARE(fake.calls.back().name,
                 after.isNull() ? std::nullopt : std::optional<std::string>(after.toStdString()));
    }

    void soundPathReadIsACopy()
    {
        FakeSoundPlatform fake;
        Sound player;
        QString file = QStringLiteral("alarm.wav");
        player.setSoundPath(file);
        file.append(QStringLiteral(".bak"));
        QString read = player.soundPath();
        read.clear();
        QCOMPARE(player.soundPath(), QStringLiteral("alarm.wav"));
    }

    void deviceCount_data()
    {
        QTest::addColumn<uint>("devices");
        QTest::addColumn<bool>("overflows");
        QTest::addColumn<short>("count");
        QTest::addColumn<short>("installed");
        QTest::newRow("none") << 0u << false << short(0) << short(0);
        QTest::newRow("one") << 1u << false << short(1) << short(-1);
        QTest::newRow("three") << 3u << false << short(3) << short(-1);
        QTest::newRow("largest Integer") << 32767u << false << short(32767) << short(-1);
        QTest::newRow("one too many") << 32768u << true << short(0) << short(0);
        QTest::newRow("65536 would wrap to 0") << 65536u << true << short(0) << short(0);
        QTest::newRow("largest count") << uint(UINT_MAX) << true << short(0) << short(0);
    }
    void deviceCount()
    {
        QFETCH(uint, devices);
        QFETCH(bool, overflows);
        QFETCH(short, count);
        QFETCH(short, installed);
        FakeSoundPlatform fake;
        fake.devices = devices;
        const Sound player;
        if (overflows) {
            QVERIFY_THROWS_EXCEPTION(std::overflow_error, player.numberOfSoundCards());
            QVERIFY_THROWS_EXCEPTION(std::overflow_error, player.soundCardInstalled());
        } else {
            QCOMPARE(player.numberOfSoundCards(), count);
            QCOMPARE(player.soundCardInstalled(), installed);
        }
        // One query per read, and no sound call.
        QCOMPARE(fake.deviceQueries, 2);
        QVERIFY(fake.calls.empty());
    }

    void nameIsPassedInTheLocalEncoding()
    {
        FakeSoundPlatform fake;
        Sound player;
        const QString name = QStringLiteral("r\u00e9veil.wav");
        player.setSoundPath(name);
        player.playSoundFile(Sound::False, Sound::True);
        player.playSystemSound(name, Sound::True);
        const QByteArray local = name.toLocal8Bit();
        QCOMPARE(fake.calls.size(), size_t(2));
        QCOMPARE(QByteArray::fromStdString(*fake.calls[0].name), local);
        QCOMPARE(QByteArray::fromStdString(*fake.calls[1].name), local);
    }
};

QTEST_GUILESS_MAIN(TestSoundPlayer)
#include "tst_soundplayer.moc"
