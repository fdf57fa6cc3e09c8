// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
// The main window, met as a user meets it, in a time zone with summer time.
#include "app/Form1.h"
#include "support/FakeSoundPlatform.h"
#include "support/TestClock.h"
#include "ui/MsgBox.h"

#include <QtTest>
#include <QtWidgets>

#include <random>

using namespace Qt::StringLiterals;

// Stands in for the browser: records the addresses it is asked to open.
class Browser : public QObject
{
    Q_OBJECT
public:
    QStringList *opened = nullptr;
public Q_SLOTS:
    void open(const QUrl &url) { *opened << url.toString(); }
};

namespace {

const QString pressSpace = u"*** Press the SPACE Bar to SNOOOOZE ***"_s,
              snoozing = u"*** snoooozing *** "_s;

// The main window, shown and active, on a clock, a sound device, message
// boxes and a browser of the test's own, driven through its controls.
struct Rig
{
    FakeSoundPlatform sound;
    TestClock clock;
    Form1 form{clock.clock()};
    QLabel *label3 = form.findChild<QLabel *>(u"Label3"_s);
    QCheckBox *check[2]
            = {form.findChild<QCheckBox *>(u"Check1"_s), form.findChild<QCheckBox *>(u"Check2"_s)};
    QPushButton *command1 = form.findChild<QPushButton *>(u"Command1"_s),
                *command3 = form.findChild<QPushButton *>(u"Command3"_s);
    QStringList asked; // message boxes and launches, in order
    MsgBox::Answer answer = MsgBox::Cancel;
    Browser browser;

    Rig()
    {
        // The About text only has to name the version and the website.
        MsgBox::setHandler([this](const MsgBox::Request &r) {
            const bool about = r.prompt.contains(u"Vellwake %1.%2"_s.arg(VELLWAKE_VERSION_MAJOR)
                                                         .arg(VELLWAKE_VERSION_MINOR))
                    && r.prompt.contains(QStringLiteral(VELLWAKE_WEBSITE));
            asked << u"%1 %2 %3 %4"_s.arg(r.title).arg(r.buttons).arg(r.icon).arg(about ? u"about"_s
                                                                                        : r.prompt);
            return answer;
        });
        browser.opened = &asked;
        QDesktopServices::setUrlHandler(u"https"_s, &browser, "open");
        form.show();
        QApplication::setActiveWindow(&form);
        QVERIFY(QTest::qWaitForWindowActive(&form));
    }
    ~Rig()
    {
        QDesktopServices::unsetUrlHandler(u"https"_s);
        MsgBox::setHandler({});
    }
    void tick(const QDateTime &t) { *clock.now = t, form.Timer1_Timer(); }

    // Steps separated by "; ": "t 7:05" a tick at that time today, "u" at a
    // UTC date and time, "w 15" a tick each minute for 15 minutes, "a1 7:05 AM"
    // the Set Alarms window's write into slot 1, "k1" a click on slot 1, "c3"
    // a click on the snooze button, "sp" the space bar on the focus widget,
    // "C1" and "A0" a close and the About command answered OK and Cancel.
    void run(const QString &script)
    {
        for (const QString &step : script.split(u"; "_s)) {
            const QString arg = step.section(u' ', 1);
            QCheckBox *slot = check[step.mid(1, 1).toInt() % 2 ? 0 : 1];
            if (step.startsWith(u't'))
                tick(QDateTime(clock.now->date(), QTime::fromString(arg, u"h:mm"_s)));
            else if (step.startsWith(u'u'))
                tick(QDateTime::fromString(arg, Qt::ISODate).toLocalTime());
            else if (step.startsWith(u'w'))
                for (int i = 0; i < arg.toInt(); ++i)
                    tick(clock.now->addSecs(60));
            else if (step.startsWith(u'a'))
                slot->setText(arg), slot->setEnabled(true), slot->setChecked(true);
            else if (step.startsWith(u'k'))
                QTest::mouseClick(slot, Qt::LeftButton, {}, {6, slot->height() / 2});
            else if (step == u"c3")
                QTest::mouseClick(command3, Qt::LeftButton);
            else if (step == u"sp")
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
            else if (answer = step.endsWith(u'1') ? MsgBox::Ok : MsgBox::Cancel;
                     step.startsWith(u'C'))
                form.close();
            else
                form.findChild<QAction *>(u"about"_s)->trigger();
        }
    }
    // All a user sees of the alarm state, and what the platform was asked to do.
    QString observed(bool anyFocus) const
    {
        const QHash<QString, QString> status{
                {pressSpace, u"space"_s},
                {snoozing, u"snooze"_s},
                {{}, u"none"_s},
                {u"*** ALERT: No Alarm is currently set ***"_s, u"alert"_s}};
        const QColor colour = label3->palette().color(QPalette::WindowText);
        const QWidget *focus = QApplication::focusWidget();
        return u"%1 %2 c1=%3 c3=%4 focus=%5 loop=%6 plays=%7 stops=%8 slots=%9"_s
                       .arg(status.value(label3->text(), label3->text()),
                            colour == Qt::red ? u"red"_s : colour.name())
                       .arg(command1->isEnabled())
                       .arg(command3->isEnabled())
                       .arg(anyFocus        ? u"*"_s
                                    : focus ? focus->objectName()
                                            : u"none"_s)
                       .arg(sound.looping)
                       .arg(sound.calls.size() - sound.stops())
                       .arg(sound.stops())
                       .arg(u"%1%2,%3%4"_s.arg(
                               check[0]->text(), check[0]->isChecked() ? u"+"_s : u"-"_s,
                               check[1]->text(), check[1]->isChecked() ? u"+"_s : u"-"_s))
                + (asked.isEmpty() ? QString() : u" asked="_s + asked.join(u'|'))
                + (form.isVisible() ? u""_s : u" closed"_s);
    }
};

} // namespace

class TestForm1 : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void alarmStates_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("expected");
        const QString ring = u"t 7:00; a1 7:05 AM; t 7:04; t 7:05"_s,
                      one = u"slots=7:05 AM+,not set-"_s;
        const QString box = u" asked=Vellwake 1 0 "_s,
                      close = box + u"Are you sure you want to close your Vellwake?"_s;
        // clang-format off
        QTest::newRow("no alarm set") << u"t 7:00"_s << u"alert red c1=1 c3=0 focus=* loop=0 plays=0 stops=0 slots=not set-,not set-"_s;
        QTest::newRow("armed: the empty status keeps its colour") << u"t 7:00; a1 7:05 AM; t 7:04"_s << "none red c1=1 c3=0 focus=* loop=0 plays=0 stops=0 " + one;
        QTest::newRow("rings when its minute shows") << ring << "space #000000 c1=0 c3=1 focus=Command3 loop=1 plays=1 stops=0 " + one;
        QTest::newRow("space bar snoozes") << ring + "; sp; t 7:06" << "snooze #000000 c1=0 c3=0 focus=* loop=0 plays=1 stops=1 " + one;
        QTest::newRow("not back after 14 minutes") << ring + "; c3; t 7:19" << "snooze #000000 c1=0 c3=0 focus=* loop=0 plays=1 stops=1 " + one;
        QTest::newRow("back after 15 minutes") << ring + "; c3; t 7:19; t 7:20" << "space #000000 c1=0 c3=1 focus=Command3 loop=1 plays=2 stops=1 " + one;
        QTest::newRow("disarm by a click: the focus stays on the slot") << ring + "; k1; t 7:06" << u"alert red c1=1 c3=0 focus=Check1 loop=0 plays=1 stops=1 slots=7:05 AM-,not set-"_s;
        QTest::newRow("disarm while snoozing drops the snooze") << ring + "; sp; k1; t 7:20" << u"alert red c1=1 c3=0 focus=Check1 loop=0 plays=1 stops=2 slots=7:05 AM-,not set-"_s;
        QTest::newRow("unchecking the other slot changes nothing") << u"t 7:00; a1 7:05 AM; a2 9:00 PM; t 7:04; t 7:05; k2; t 7:06"_s << u"space #000000 c1=0 c3=1 focus=Check2 loop=1 plays=1 stops=0 slots=7:05 AM+,9:00 PM-"_s;
        QTest::newRow("both due: slot 1 no longer disarms") << u"t 7:00; a1 7:05 AM; a2 7:05 AM; t 7:04; t 7:05; k1; t 7:06"_s << u"space #000000 c1=0 c3=1 focus=Check1 loop=1 plays=2 stops=0 slots=7:05 AM-,7:05 AM+"_s;
        QTest::newRow("slot 2 due while slot 1 rings takes over") << u"t 7:00; a1 7:05 AM; a2 7:06 AM; t 7:04; t 7:05; t 7:06; k1; t 7:07"_s << u"space #000000 c1=0 c3=1 focus=Check1 loop=1 plays=2 stops=0 slots=7:05 AM-,7:06 AM+"_s;
        QTest::newRow("the other slot due during a snooze") << u"t 7:00; a1 7:05 AM; a2 7:10 AM; t 7:04; t 7:05; sp; t 7:10"_s << u"snooze #000000 c1=0 c3=1 focus=Command3 loop=1 plays=2 stops=1 slots=7:05 AM+,7:10 AM+"_s;
        QTest::newRow("noon rings the PM slot") << u"t 11:00; a1 12:05 PM; a2 12:05 AM; t 12:04; t 12:05; k2; t 12:06"_s << u"space #000000 c1=0 c3=1 focus=Check2 loop=1 plays=1 stops=0 slots=12:05 PM+,12:05 AM-"_s;
        QTest::newRow("midnight rings the AM slot") << u"t 0:00; a1 12:05 PM; a2 12:05 AM; t 0:04; t 0:05; k1; t 0:06"_s << u"space #000000 c1=0 c3=1 focus=Check1 loop=1 plays=1 stops=0 slots=12:05 PM-,12:05 AM+"_s;
        QTest::newRow("armed during its own minute") << u"t 7:05; a1 7:05 AM; t 7:05"_s << "none red c1=1 c3=0 focus=* loop=0 plays=0 stops=0 " + one;
        QTest::newRow("an unchecked slot stays silent") << u"t 7:00; a1 7:05 AM; k1; t 7:04; t 7:05"_s << u"alert red c1=1 c3=0 focus=Check1 loop=0 plays=0 stops=0 slots=7:05 AM-,not set-"_s;
        for (const QString &caption : {u"07:05 AM"_s, u"7:5 AM"_s, u"not set"_s})
            QTest::addRow("%s never matches", qPrintable(caption)) << u"t 7:00; a1 %1; t 7:04; t 7:05"_s.arg(caption) << u"none red c1=1 c3=0 focus=* loop=0 plays=0 stops=0 slots=%1+,not set-"_s.arg(caption);
        QTest::newRow("close, Cancel keeps it ringing") << ring + "; C0" << "space #000000 c1=0 c3=1 focus=Command3 loop=1 plays=1 stops=0 " + one + close;
        QTest::newRow("close, OK ends it") << ring + "; C1" << "space #000000 c1=0 c3=1 focus=* loop=0 plays=1 stops=1 " + one + close + " closed";
        QTest::newRow("about, OK opens the website") << u"t 7:00; A1"_s << u"alert red c1=1 c3=0 focus=* loop=0 plays=0 stops=0 slots=not set-,not set-"_s + box + "about|" VELLWAKE_WEBSITE;
        QTest::newRow("about, Cancel launches nothing") << u"t 7:00; A0"_s << u"alert red c1=1 c3=0 focus=* loop=0 plays=0 stops=0 slots=not set-,not set-"_s + box + "about";
        // Fifteen minutes of real time, whatever the display does meanwhile.
        const QString back = u"space #000000 c1=0 c3=1 focus=Command3 loop=1 plays=2 stops=1 slots=%1+,not set-"_s;
        QTest::newRow("snooze over midnight") << u"u 2026-03-02T22:49:30Z; a1 11:50 PM; w 1; c3; w 15"_s << back.arg(u"11:50 PM");
        QTest::newRow("snooze as summer time begins") << u"u 2026-03-29T00:54:30Z; a1 1:55 AM; w 1; c3; w 15"_s << back.arg(u"1:55 AM");
        QTest::newRow("snooze as summer time ends") << u"u 2026-10-25T00:49:30Z; a1 2:50 AM; w 1; c3; w 15"_s << back.arg(u"2:50 AM");
        // clang-format on
        // However often the space bar is pressed during a snooze, the alarm
        // comes back 15 minutes later with both slots as they were.
        // clang-format off
        const QStringList setups[] = {
            {u"a1 7:05 AM"_s, u"7:05 AM+,not set-"_s},
            {u"a2 9:00 PM; a1 7:05 AM"_s, u"7:05 AM+,9:00 PM+"_s},
            {u"a2 9:00 PM; k2; a1 7:05 AM"_s, u"7:05 AM+,9:00 PM-"_s},
            {u"a2 7:05 AM"_s, u"not set-,7:05 AM+"_s},
            {u"a1 9:00 PM; a2 7:05 AM"_s, u"9:00 PM+,7:05 AM+"_s},
            {u"a1 9:00 PM; k1; a2 7:05 AM"_s, u"9:00 PM-,7:05 AM+"_s}};
        for (const QStringList &setup : setups)
            for (int presses = 1; presses <= 3; ++presses)
                QTest::addRow("space bar during a snooze: %s, %d presses", qPrintable(setup[0]), presses) << u"t 7:00; "_s + setup[0] + u"; t 7:04; t 7:05"_s + u"; sp"_s.repeated(presses) + u"; t 7:06; t 7:19; t 7:20"_s << u"space #000000 c1=0 c3=1 focus=Command3 loop=1 plays=2 stops=1 slots="_s + setup[1];
        // clang-format on
    }
    void alarmStates()
    {
        QFETCH(QString, script);
        QFETCH(QString, expected);
        Rig rig;
        rig.run(script);
        QCOMPARE(rig.observed(expected.contains(u"focus=*")), expected);
    }

    // The clock reads the same in every language, as the alarm captions do.
    void clockText_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("time");
        QTest::addColumn<QString>("expected");
        const QStringList times[] = {{u"0:00"_s, u"12:00 AM"_s},  {u"0:59"_s, u"12:59 AM"_s},
                                     {u"7:05"_s, u"7:05 AM"_s},   {u"11:59"_s, u"11:59 AM"_s},
                                     {u"12:00"_s, u"12:00 PM"_s}, {u"13:09"_s, u"1:09 PM"_s},
                                     {u"23:59"_s, u"11:59 PM"_s}};
        for (const char *locale : {"en_US", "de_DE", "ar_EG", "zh_CN"})
            for (const QStringList &t : times)
                QTest::addRow("%s %s", locale, qPrintable(t[0]))
                        << QString::fromLatin1(locale) << t[0] << t[1];
    }
    void clockText()
    {
        QFETCH(QString, locale);
        QFETCH(QString, time);
        QFETCH(QString, expected);
        QLocale::setDefault(QLocale(locale));
        Rig rig;
        rig.run(u"t "_s + time);
        QLocale::setDefault(QLocale::c());
        QCOMPARE(rig.form.findChild<QLabel *>(u"Label1"_s)->text(), expected);
    }

    // The pictures are read without Qt guessing their format: a wrong guess
    // would leave them empty.
    void pictures()
    {
        Rig rig;
        const QList<QSize> icons = rig.form.windowIcon().availableSizes();
        QCOMPARE(icons, (QList<QSize>{{16, 16}, {32, 32}, {48, 48}}));
        const QPixmap background = rig.form.findChild<QLabel *>(u"Image1"_s)->pixmap();
        QCOMPARE(background.deviceIndependentSize(), QSizeF(400, 200));
    }

    // Random clicks, key presses, new alarms and minutes over some days: the
    // buttons follow the sound, and every snooze comes back within 15 minutes.
    void soak()
    {
        Rig rig;
        std::mt19937 random(20260302);
        // clang-format off
        const QStringList steps = u"sp|c3|k1|k2|a1 7:10 AM|a2 7:20 AM|w 1|w 1|w 1|w 1|w 1|w 1|w 1|w 1|w 1|w 1|w 1|w 1"_s.split(u'|');
        // clang-format on
        for (int i = 0, quiet = 0; i < 20000; ++i) {
            const QString step = steps.at(random() % steps.size());
            if (!step.startsWith(u'a') || rig.command1->isEnabled())
                rig.run(step);
            rig.form.Timer1_Timer();
            const QString status = rig.label3->text();
            QCOMPARE(rig.command3->isEnabled(), rig.sound.looping);
            QCOMPARE(rig.command1->isEnabled(), status != snoozing && status != pressSpace);
            quiet = status == snoozing && !rig.sound.looping ? quiet + (step == u"w 1") : 0;
            QVERIFY(quiet <= 15);
        }
        QVERIFY2(rig.sound.calls.size() - rig.sound.stops() > 10,
                 "too few rings to prove anything");
    }
};

QTEST_MAIN(TestForm1)
#include "tst_form1.moc"
