// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#include "app/Form1.h"
#include "support/FakeSoundPlatform.h"
#include "support/TestClock.h"
#include "ui/Launcher.h"
#include "ui/MsgBox.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QHash>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <ctime>
#include <random>

using namespace Qt::StringLiterals;

namespace {

const QString noAlarm = u"*** ALERT: No Alarm is currently set ***"_s;
const QString pressSpace = u"*** Press the SPACE Bar to SNOOOOZE ***"_s;
const QString snoozing = u"*** snoooozing *** "_s;

QString clockText(const QDateTime &t)
{
    return t.time().toString(u"h:mm AP"_s);
}

// The main window, shown and active, on a clock and a sound device of the
// test's own, driven through its controls as a user would.
struct Rig
{
    FakeSoundPlatform sound;
    TestClock clock;
    Form1 form{clock.clock()};
    QLabel *label1 = form.findChild<QLabel *>(u"Label1"_s);
    QLabel *label3 = form.findChild<QLabel *>(u"Label3"_s);
    QCheckBox *check[2]
            = {form.findChild<QCheckBox *>(u"Check1"_s), form.findChild<QCheckBox *>(u"Check2"_s)};
    QPushButton *command1 = form.findChild<QPushButton *>(u"Command1"_s);
    QPushButton *command3 = form.findChild<QPushButton *>(u"Command3"_s);

    bool show()
    {
        form.show();
        QApplication::setActiveWindow(&form);
        return QTest::qWaitForWindowActive(&form);
    }
    void tick(const QDateTime &t)
    {
        clock.set(t);
        form.Timer1_Timer();
    }
    // What the Set Alarms window writes into a slot.
    void arm(int n, const QString &caption)
    {
        check[n - 1]->setText(caption);
        check[n - 1]->setEnabled(true);
        check[n - 1]->setChecked(true);
    }
    static void click(QWidget *w)
    {
        QTest::mouseClick(w, Qt::LeftButton, {}, {6, w->height() / 2});
    }
    static void space() { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space); }
    static QWidget *setAlarmsWindow()
    {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (w->inherits("Form2") && w->isVisible())
                return w;
        return nullptr;
    }
    void openSetAlarms()
    {
        QTest::mouseClick(command1, Qt::LeftButton);
        QVERIFY(setAlarmsWindow() && !form.isVisible());
        QVERIFY(QTest::qWaitForWindowActive(setAlarmsWindow()));
    }
    void closeSetAlarms(const char *how)
    {
        QWidget *w = setAlarmsWindow();
        QVERIFY(w);
        if (QByteArray(how) == "apply")
            QTest::mouseClick(w->findChild<QPushButton *>(u"Command1"_s), Qt::LeftButton);
        else
            w->close();
        QVERIFY(QTest::qWaitForWindowActive(&form));
    }

    // Steps separated by ';': "t 7:05" a tick at that time; "a1 7:05 AM" the
    // Set Alarms window's write into slot 1; "s1 705" those digits typed into
    // alarm 1 of the real Set Alarms window and applied; "o" and "x" open and
    // close that window; "k1" a click on slot 1; "c3" a click on the snooze
    // button; "sp" the space bar on the focus widget.
    void run(const QString &script)
    {
        for (const QString &step : script.split(u';', Qt::SkipEmptyParts)) {
            const QString op = step.trimmed().section(u' ', 0, 0);
            const QString arg = step.trimmed().section(u' ', 1);
            const int n = op.size() > 1 ? op.at(1).digitValue() : 0;
            if (op == u"t") {
                tick(QDateTime(clock.now().date(), QTime::fromString(arg, u"h:mm"_s)));
            } else if (op == u"sp") {
                space();
            } else if (op == u"c3") {
                QTest::mouseClick(command3, Qt::LeftButton);
            } else if (op == u"o") {
                openSetAlarms();
            } else if (op == u"x") {
                closeSetAlarms("close");
            } else if (op.startsWith(u'a')) {
                arm(n, arg);
            } else if (op.startsWith(u'k')) {
                click(check[n - 1]);
            } else if (op.startsWith(u's')) {
                openSetAlarms();
                QTest::mouseClick(
                        setAlarmsWindow()->findChild<QWidget *>(u"Text%1"_s.arg(2 * n - 1)),
                        Qt::LeftButton);
                for (QChar c : arg)
                    QTest::keyClick(QApplication::focusWidget(), c.toLatin1());
                closeSetAlarms("apply");
            } else {
                QFAIL(qPrintable(step));
            }
        }
    }

    QString slotState() const
    {
        return u"%1%2,%3%4"_s.arg(check[0]->text(), check[0]->isChecked() ? u"+"_s : u"-"_s,
                                  check[1]->text(), check[1]->isChecked() ? u"+"_s : u"-"_s);
    }
    // All a user can see of the alarm state, and what the sound device does.
    QString observed(bool anyFocus) const
    {
        const QHash<QString, QString> status{{noAlarm, u"alert"_s},
                                             {pressSpace, u"space"_s},
                                             {snoozing, u"snooze"_s},
                                             {{}, u"none"_s}};
        const QColor colour = label3->palette().color(QPalette::WindowText);
        const QWidget *focus = QApplication::focusWidget();
        return u"%1 %2 c1=%3 c3=%4 focus=%5 loop=%6 plays=%7 stops=%8 slots=%9"_s
                .arg(status.value(label3->text(), label3->text()),
                     colour == Qt::red             ? u"red"_s
                             : colour == Qt::black ? u"black"_s
                                                   : colour.name())
                .arg(command1->isEnabled())
                .arg(command3->isEnabled())
                .arg(anyFocus        ? u"*"_s
                             : focus ? focus->objectName()
                                     : u"none"_s)
                .arg(sound.looping)
                .arg(sound.plays)
                .arg(sound.stops)
                .arg(slotState());
    }
};

void setZone(const QByteArray &zone)
{
    qputenv("TZ", zone);
    tzset();
}

} // namespace

class TestForm1 : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        // The headless platform says so each time it lacks a window feature.
        static const QtMessageHandler qtHandler = qInstallMessageHandler(
                [](QtMsgType type, const QMessageLogContext &context, const QString &message) {
                    if (!message.startsWith(u"This plugin does not support"))
                        qtHandler(type, context, message);
                });
    }
    void init()
    {
        // No real dialog or browser: a test that expects one answers it.
        MsgBox::setHandler([](const MsgBox::Request &r) {
            qWarning("unexpected message box: %s", qPrintable(r.prompt));
            return MsgBox::Cancel;
        });
        Launcher::setHandler([](const QUrl &) { QFAIL("unexpected launch"); });
    }

    void alarmStates_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("expected");
        const QString ring1 = u"t 7:00; a1 7:05 AM; t 7:04; t 7:05"_s;
        const QString ringing1 = u"c1=0 c3=1 focus=Command3 loop=1 plays=1 stops=0"_s;
        const QString unset = u"slots=7:05 AM+,not set-"_s;
        QTest::newRow("no alarm set") << u"t 7:00"_s
                                      << u"alert red c1=1 c3=0 focus=* loop=0 plays=0 stops=0 "
                                         "slots=not set-,not set-"_s;
        QTest::newRow("armed, empty status keeps its colour")
                << u"t 7:00; a1 7:05 AM; t 7:04"_s
                << "none red c1=1 c3=0 focus=* loop=0 plays=0 stops=0 " + unset;
        QTest::newRow("rings when its minute shows")
                << ring1 << "space black " + ringing1 + " " + unset;
        QTest::newRow("space bar snoozes")
                << ring1 + "; sp; t 7:06"
                << "snooze black c1=0 c3=0 focus=* loop=0 plays=1 stops=1 " + unset;
        QTest::newRow("snooze not back after 14 minutes")
                << ring1 + "; c3; t 7:19"
                << "snooze black c1=0 c3=0 focus=* loop=0 plays=1 stops=1 " + unset;
        QTest::newRow("snooze back after 15 minutes")
                << ring1 + "; c3; t 7:19; t 7:20"
                << "space black c1=0 c3=1 focus=Command3 loop=1 plays=2 stops=1 " + unset;
        QTest::newRow("disarm by a click leaves the focus on the slot")
                << ring1 + "; k1; t 7:06"
                << u"alert red c1=1 c3=0 focus=Check1 loop=0 plays=1 stops=1 "
                   "slots=7:05 AM-,not set-"_s;
        QTest::newRow("disarm while snoozing drops the snooze")
                << ring1 + "; sp; k1; t 7:20"
                << u"alert red c1=1 c3=0 focus=Check1 loop=0 plays=1 stops=2 "
                   "slots=7:05 AM-,not set-"_s;
        QTest::newRow("unchecking the other slot changes nothing")
                << u"t 7:00; a1 7:05 AM; a2 9:00 PM; t 7:04; t 7:05; k2; t 7:06"_s
                << u"space black c1=0 c3=1 focus=Check2 loop=1 plays=1 stops=0 "
                   "slots=7:05 AM+,9:00 PM-"_s;
        QTest::newRow("both due together: slot 1 no longer disarms")
                << u"t 7:00; a1 7:05 AM; a2 7:05 AM; t 7:04; t 7:05; k1; t 7:06"_s
                << u"space black c1=0 c3=1 focus=Check1 loop=1 plays=2 stops=0 "
                   "slots=7:05 AM-,7:05 AM+"_s;
        QTest::newRow("slot 2 due while slot 1 rings takes over")
                << u"t 7:00; a1 7:05 AM; a2 7:06 AM; t 7:04; t 7:05; t 7:06; k1; t 7:07"_s
                << u"space black c1=0 c3=1 focus=Check1 loop=1 plays=2 stops=0 "
                   "slots=7:05 AM-,7:06 AM+"_s;
        QTest::newRow("other slot due during a snooze")
                << u"t 7:00; a1 7:05 AM; a2 7:10 AM; t 7:04; t 7:05; sp; t 7:10"_s
                << u"snooze black c1=0 c3=1 focus=Command3 loop=1 plays=2 stops=1 "
                   "slots=7:05 AM+,7:10 AM+"_s;
        QTest::newRow("armed during its own minute")
                << u"t 7:05; a1 7:05 AM; t 7:05"_s
                << "none red c1=1 c3=0 focus=* loop=0 plays=0 stops=0 " + unset;
        QTest::newRow("an unchecked slot stays silent")
                << u"t 7:00; a1 7:05 AM; k1; t 7:04; t 7:05"_s
                << u"alert red c1=1 c3=0 focus=Check1 loop=0 plays=0 stops=0 "
                   "slots=7:05 AM-,not set-"_s;
        for (const QString &caption : {u"07:05 AM"_s, u"7:5 AM"_s, u"not set"_s})
            QTest::addRow("caption %s never matches", qPrintable(caption))
                    << u"t 7:00; a1 %1; t 7:04; t 7:05"_s.arg(caption)
                    << u"none red c1=1 c3=0 focus=* loop=0 plays=0 stops=0 slots=%1+,not set-"_s
                               .arg(caption);
        QTest::newRow("set in its window, rings while it is open")
                << u"t 7:00; s1 705; t 7:04; o; t 7:05; x"_s
                << "space black " + ringing1 + " " + unset;
    }
    void alarmStates()
    {
        QFETCH(QString, script);
        QFETCH(QString, expected);
        Rig rig;
        QVERIFY(rig.show());
        rig.run(script);
        QCOMPARE(rig.observed(expected.contains(u"focus=*")), expected);
    }

    // A second, third press of the space bar during a snooze changes nothing.
    void spaceBarDuringSnooze_data()
    {
        QTest::addColumn<int>("ringing");
        QTest::addColumn<QString>("other");
        QTest::addColumn<int>("presses");
        for (int ringing : {1, 2})
            for (const char *other : {"unset", "armed", "disarmed"})
                for (int presses : {1, 2, 3})
                    QTest::addRow("slot %d rings, other %s, %d presses", ringing, other, presses)
                            << ringing << QString::fromLatin1(other) << presses;
    }
    void spaceBarDuringSnooze()
    {
        QFETCH(int, ringing);
        QFETCH(QString, other);
        QFETCH(int, presses);
        Rig rig;
        QVERIFY(rig.show());
        rig.run(u"t 7:00"_s);
        if (other != u"unset")
            rig.arm(3 - ringing, u"9:00 PM"_s);
        if (other == u"disarmed")
            rig.click(rig.check[2 - ringing]);
        rig.arm(ringing, u"7:05 AM"_s);
        rig.run(u"t 7:04; t 7:05"_s);
        QVERIFY(rig.sound.looping);
        const QString before = rig.slotState();
        for (int i = 0; i < presses; ++i)
            Rig::space();
        rig.run(u"t 7:06; t 7:19"_s);
        QCOMPARE(rig.slotState(), before);
        rig.run(u"t 7:20"_s);
        QVERIFY(rig.sound.looping && rig.command3->isEnabled());
        QCOMPARE(rig.slotState(), before);
    }

    // Fifteen minutes of real time, whatever the display does meanwhile.
    void snoozeOverMidnightAndDst_data()
    {
        QTest::addColumn<QByteArray>("zone");
        QTest::addColumn<QDateTime>("click");
        const auto utc = [](int mo, int d, int h, int mi) {
            return QDateTime(QDate(2026, mo, d), QTime(h, mi, 30), Qt::UTC);
        };
        QTest::newRow("over midnight") << QByteArray("UTC") << utc(3, 2, 23, 50);
        QTest::newRow("spring forward") << QByteArray("Europe/Berlin") << utc(3, 29, 0, 55);
        QTest::newRow("fall back") << QByteArray("Europe/Berlin") << utc(10, 25, 0, 50);
        QTest::newRow("fall back, other zone")
                << QByteArray("America/New_York") << utc(11, 1, 5, 50);
    }
    void snoozeOverMidnightAndDst()
    {
        QFETCH(QByteArray, zone);
        QFETCH(QDateTime, click);
        const QByteArray savedZone = qgetenv("TZ");
        setZone(zone);
        Rig rig;
        QVERIFY(rig.show());
        const QDateTime local = click.toLocalTime();
        rig.tick(local.addSecs(-60));
        rig.arm(1, clockText(local));
        rig.tick(local);
        QVERIFY(rig.sound.looping);
        QTest::mouseClick(rig.command3, Qt::LeftButton);
        int minutes = 0;
        while (!rig.sound.looping && minutes < 120) {
            rig.tick(local.addSecs(++minutes * 60));
            QVERIFY(rig.sound.looping || rig.label3->text() == snoozing);
        }
        setZone(savedZone);
        QCOMPARE(minutes, 15);
    }

    void closeAndAbout_data()
    {
        QTest::addColumn<bool>("about");
        QTest::addColumn<int>("answer");
        QTest::addColumn<QStringList>("prompt");
        const QStringList close{u"Are you sure you want to close your Vellwake?"_s};
        const QStringList about{u"Vellwake"_s, u"1.0"_s, QStringLiteral(VELLWAKE_WEBSITE)};
        QTest::newRow("close, OK ends it") << false << int(MsgBox::Ok) << close;
        QTest::newRow("close, Cancel keeps it ringing") << false << int(MsgBox::Cancel) << close;
        QTest::newRow("about, OK opens the website") << true << int(MsgBox::Ok) << about;
        QTest::newRow("about, Cancel launches nothing") << true << int(MsgBox::Cancel) << about;
    }
    void closeAndAbout()
    {
        QFETCH(bool, about);
        QFETCH(int, answer);
        QFETCH(QStringList, prompt);
        Rig rig;
        QVERIFY(rig.show());
        rig.run(u"t 7:00; a1 7:05 AM; t 7:04; t 7:05"_s);
        QList<MsgBox::Request> asked;
        MsgBox::setHandler([&](const MsgBox::Request &r) {
            asked << r;
            return MsgBox::Answer(answer);
        });
        QList<QUrl> launched;
        Launcher::setHandler([&](const QUrl &url) { launched << url; });
        if (about)
            rig.form.findChild<QAction *>(u"about"_s)->trigger();
        else
            rig.form.close();
        QCOMPARE(asked.size(), 1);
        for (const QString &part : prompt)
            QVERIFY2(asked[0].prompt.contains(part), qPrintable(asked[0].prompt));
        QCOMPARE(asked[0].title, u"Vellwake"_s);
        QCOMPARE(asked[0].buttons, MsgBox::OkCancel);
        QCOMPARE(asked[0].icon, MsgBox::NoIcon);
        const bool ends = !about && answer == MsgBox::Ok;
        QCOMPARE(rig.form.isVisible(), !ends);
        QCOMPARE(rig.sound.looping, !ends);
        QCOMPARE(
                launched,
                QList<QUrl>(about && answer == MsgBox::Ok, QUrl(QStringLiteral(VELLWAKE_WEBSITE))));
    }

    // Random clicks, key presses and clock steps over three days.
    void soak()
    {
        Rig rig;
        QVERIFY(rig.show());
        std::mt19937 random(20260302);
        QDateTime now(QDate(2026, 3, 2), QTime(0, 0));
        QDateTime quietSince;
        rig.tick(now);
        while (now.date().day() < 5) {
            now = now.addSecs(5 + random() % 56);
            const QString shown = rig.label1->text(), next = clockText(now);
            bool due = false;
            for (QCheckBox *slot : rig.check)
                due |= next != shown && slot->isChecked() && slot->text() == next;
            const int plays = rig.sound.plays;
            rig.tick(now);
            QVERIFY2(!due || rig.sound.plays > plays, qPrintable(next)); // no alarm lost
            switch (random() % 24) {
            case 0:
                Rig::space();
                break;
            case 1:
                QTest::mouseClick(rig.command3, Qt::LeftButton);
                break;
            case 2:
                Rig::click(rig.check[random() % 2]);
                break;
            case 3:
                if (rig.command1->isEnabled() && random() % 8 == 0)
                    rig.arm(1 + random() % 2, clockText(now.addSecs(60 * (1 + random() % 120))));
                break;
            }
            rig.form.Timer1_Timer();
            const QString status = rig.label3->text();
            QCOMPARE(rig.command3->isEnabled(), rig.sound.looping);
            QCOMPARE(rig.command1->isEnabled(), status != snoozing && status != pressSpace);
            if (status != snoozing || rig.sound.looping)
                quietSince = QDateTime();
            else if (!quietSince.isValid())
                quietSince = now;
            QVERIFY2(!quietSince.isValid() || quietSince.secsTo(now) <= 15 * 60, qPrintable(next));
        }
        QVERIFY2(rig.sound.plays > 20, "the soak rang too rarely to prove anything");
    }
};

QTEST_MAIN(TestForm1)
#include "tst_form1.moc"
