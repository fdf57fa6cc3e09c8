// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#include "app/ClockText.h"
#include "app/Form1.h"
#include "support/FakeSoundPlatform.h"
#include "support/TestClock.h"
#include "ui/Launcher.h"
#include "ui/MsgBox.h"
#include "ui/NotifyingCheckBox.h"
#include "ui/NotifyingLabel.h"

#include <QApplication>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QTimeZone>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <random>

namespace {

const QString pressSpace = QStringLiteral("*** Press the SPACE Bar to SNOOOOZE ***");
const QString snoozing = QStringLiteral("*** snoooozing *** ");
const QString noAlarm = QStringLiteral("*** ALERT: No Alarm is currently set ***");
constexpr DWORD loopAsync = 0x20009;

// The main window on a clock and a sound device the test controls.
struct Rig
{
    explicit Rig(QDateTime start = QDateTime(QDate(2026, 3, 2), QTime(7, 0)))
        : clock(std::move(start))
        , form(std::make_unique<Form1>(clock.clock()))
    {
        Label1 = form->findChild<NotifyingLabel *>(QStringLiteral("Label1"));
        Label3 = form->findChild<NotifyingLabel *>(QStringLiteral("Label3"));
        Check1 = form->findChild<NotifyingCheckBox *>(QStringLiteral("Check1"));
        Check2 = form->findChild<NotifyingCheckBox *>(QStringLiteral("Check2"));
        Command1 = form->findChild<QPushButton *>(QStringLiteral("Command1"));
        Command3 = form->findChild<QPushButton *>(QStringLiteral("Command3"));
    }

    bool showActive()
    {
        form->show();
        QApplication::setActiveWindow(form.get());
        return QTest::qWaitForWindowActive(form.get());
    }
    void tick() { form->Timer1_Timer(); }
    void tickAt(QTime t)
    {
        clock.set(t);
        tick();
    }
    // What the Set Alarms window does to a slot.
    void arm(NotifyingCheckBox *slot, const QString &caption)
    {
        slot->setText(caption);
        slot->setEnabled(true);
        slot->setValue(1);
    }
    bool ringing() const { return sound.looping() && Command3->isEnabled(); }

    FakeSoundPlatform sound;
    TestClock clock;
    std::unique_ptr<Form1> form;
    NotifyingLabel *Label1, *Label3;
    NotifyingCheckBox *Check1, *Check2;
    QPushButton *Command1, *Command3;
};

QDateTime localFromUtc(int y, int mo, int d, int h, int mi)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi), Qt::UTC).toLocalTime();
}

void setZone(const char *zone)
{
    qputenv("TZ", zone);
    tzset();
}

} // namespace

class TestForm1 : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void clockTextFormat_data();
    void clockTextFormat();
    void clockTextIgnoresLocale();

    void loadState();
    void windowLooksAsDesigned();
    void firstTickShowsRedAlert();
    void statusLine_data();
    void statusLine();
    void displayTurnsWithTheMinute();

    void closeAsksFirst_data();
    void closeAsksFirst();
    void aboutOffersTheWebsite_data();
    void aboutOffersTheWebsite();

    void ringStartsWhenMinuteShows();
    void captionsThatNeverMatch_data();
    void captionsThatNeverMatch();
    void snoozeWithSpaceBarAndReturn();
    void snoozeTimeDropsSeconds_data();
    void snoozeTimeDropsSeconds();
    void bothSlotsDueTogether();
    void secondSlotDueWhileFirstRings();
    void ringingOverASnooze();
    void disarm_data();
    void disarm();
    void uncheckingOtherSlotChangesNothing();
    void slotCheckedDuringItsMinuteRingsNextDay();
    void skippedSnoozeStaysPending();
    void ringsWhileHiddenAndSnoozesOnReturn();
    void snoozeAcrossDaylightSaving_data();
    void snoozeAcrossDaylightSaving();
    void alarmsOnDaylightSavingNights();
    void weekSoak();
};

void TestForm1::init()
{
    // No real dialog or browser ever opens; a test that expects one sets its own answer.
    MsgBox::setHandler([](const MsgBox::Request &r) {
        qWarning("unexpected message box: %s", qPrintable(r.prompt));
        return MsgBox::Cancel;
    });
    Launcher::setHandler([](const QUrl &) { QFAIL("unexpected launch"); });
}

void TestForm1::cleanup()
{
    setZone("UTC");
}

void TestForm1::clockTextFormat_data()
{
    QTest::addColumn<QTime>("time");
    QTest::addColumn<QString>("text");
    QTest::newRow("midnight") << QTime(0, 0) << "12:00 AM";
    QTest::newRow("just after midnight") << QTime(0, 1, 59) << "12:01 AM";
    QTest::newRow("morning, no leading zero") << QTime(7, 5) << "7:05 AM";
    QTest::newRow("ten") << QTime(10, 59) << "10:59 AM";
    QTest::newRow("before noon") << QTime(11, 59, 59) << "11:59 AM";
    QTest::newRow("noon") << QTime(12, 0) << "12:00 PM";
    QTest::newRow("one in the afternoon") << QTime(13, 0) << "1:00 PM";
    QTest::newRow("last minute") << QTime(23, 59, 59, 999) << "11:59 PM";
}

void TestForm1::clockTextFormat()
{
    QFETCH(QTime, time);
    QFETCH(QString, text);
    QCOMPARE(clockText(time), text);
}

void TestForm1::clockTextIgnoresLocale()
{
    const QLocale saved;
    for (const auto language : {QLocale::Chinese, QLocale::German, QLocale::Arabic}) {
        QLocale::setDefault(QLocale(language));
        QCOMPARE(clockText(QTime(19, 5)), QStringLiteral("7:05 PM"));
    }
    QLocale::setDefault(saved);
}

void TestForm1::loadState()
{
    Rig rig(QDateTime(QDate(2026, 3, 2), QTime(13, 7, 30)));
    QCOMPARE(rig.Label1->text(), QStringLiteral("1:07 PM"));
    QVERIFY(!rig.Check1->isEnabled());
    QVERIFY(!rig.Check2->isEnabled());
    QVERIFY(!rig.Command3->isEnabled());
    QVERIFY(rig.Command1->isEnabled());
    QCOMPARE(rig.Check1->text(), QStringLiteral("not set"));
    QCOMPARE(rig.Check2->text(), QStringLiteral("not set"));
    QCOMPARE(rig.Label3->text(), QString());
    QCOMPARE(rig.form->soundPlayer->soundPath(), QStringLiteral("alarm.wav"));
    QVERIFY(rig.sound.calls.empty());
    auto *timer = rig.form->findChild<QTimer *>(QStringLiteral("Timer1"));
    QVERIFY(timer);
    QVERIFY(timer->isActive());
    QCOMPARE(timer->interval(), 5);
}

void TestForm1::windowLooksAsDesigned()
{
    Rig rig;
    QVERIFY(rig.showActive());
    Form1 &form = *rig.form;
    QCOMPARE(form.windowTitle(), QStringLiteral("Vellwake"));
    const Qt::WindowFlags flags = form.windowFlags();
    QCOMPARE(flags & Qt::WindowType_Mask, Qt::Tool); // no task-bar entry
    QVERIFY(flags & Qt::WindowCloseButtonHint);
    QVERIFY(!(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    QCOMPARE(form.minimumSize(), form.maximumSize());
    QCOMPARE(form.centralWidget()->size(), QSize(312, 206));
    for (const int side : {16, 32, 48})
        QVERIFY(form.windowIcon().availableSizes().contains(QSize(side, side)));

    const struct
    {
        const char *name;
        QRect geometry;
    } controls[] = {
            {"Label1", {16, 24, 281, 65}},    {"Label3", {48, 104, 217, 17}},
            {"Command1", {136, 136, 49, 57}}, {"Command3", {208, 136, 89, 57}},
            {"Frame1", {8, 128, 105, 73}},    {"Check1", {16, 16, 81, 25}},
            {"Check2", {16, 40, 81, 25}},     {"Image1", {-40, -80, 400, 200}},
    };
    for (const auto &c : controls) {
        auto *w = form.findChild<QWidget *>(QLatin1String(c.name));
        QVERIFY2(w, c.name);
        QCOMPARE(w->geometry(), c.geometry);
    }
    QCOMPARE(rig.Command3->text(), QStringLiteral("SNOOOOOZE"));
    QCOMPARE(rig.Command1->text(), QStringLiteral("Set Alarms"));
    QCOMPARE(rig.Label1->font().pointSize(), 48);
    // Every status text fits its line, and the latest time fits the display.
    for (const QString &status : {pressSpace, snoozing, noAlarm})
        QVERIFY2(rig.Label3->fontMetrics().horizontalAdvance(status) <= rig.Label3->width(),
                 qPrintable(status));
    QVERIFY(rig.Label1->fontMetrics().horizontalAdvance(QStringLiteral("12:59 PM"))
            <= rig.Label1->width());
    QCOMPARE(rig.Label1->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    // The picture is shown at its own size, never stretched.
    auto *image = form.findChild<QLabel *>(QStringLiteral("Image1"));
    QCOMPARE(image->pixmap().deviceIndependentSize().toSize(), QSize(400, 200));
    QVERIFY(!image->hasScaledContents());
    const QList<QAction *> menu = form.menuBar()->actions();
    QCOMPARE(menu.size(), 1);
    QCOMPARE(menu.first()->text(), QStringLiteral("about"));
    QCOMPARE(menu.first()->objectName(), QStringLiteral("about"));

    // Tab order among the controls that can take the focus.
    rig.arm(rig.Check1, QStringLiteral("7:05 AM"));
    rig.arm(rig.Check2, QStringLiteral("8:05 AM"));
    rig.Command3->setEnabled(true);
    rig.Command3->setFocus();
    QStringList order;
    for (int i = 0; i < 4; ++i) {
        order << QApplication::focusWidget()->objectName();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    QCOMPARE(order, QStringList({"Command3", "Command1", "Check1", "Check2"}));
}

void TestForm1::firstTickShowsRedAlert()
{
    Rig rig;
    rig.tick();
    QCOMPARE(rig.Label3->text(), noAlarm);
    QCOMPARE(rig.Label3->foreColor(), QColor(255, 0, 0));
}

void TestForm1::statusLine_data()
{
    QTest::addColumn<QString>("snoozeTime");
    QTest::addColumn<QString>("ringingAlarm");
    QTest::addColumn<int>("check1");
    QTest::addColumn<int>("check2");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QColor>("colour");
    const QColor black(0, 0, 0), red(255, 0, 0);
    QTest::newRow("snoozing wins") << "7:20 AM"
                                   << "1" << 1 << 0 << snoozing << black;
    QTest::newRow("snoozing, slot unchecked") << "7:20 AM"
                                              << "2" << 0 << 0 << snoozing << black;
    QTest::newRow("ringing 1") << ""
                               << "1" << 1 << 0 << pressSpace << black;
    QTest::newRow("ringing 2, both unchecked") << ""
                                               << "2" << 0 << 0 << pressSpace << black;
    QTest::newRow("nothing checked") << ""
                                     << "" << 0 << 0 << noAlarm << red;
    QTest::newRow("slot 1 armed") << ""
                                  << "" << 1 << 0 << "" << red;
    QTest::newRow("slot 2 armed") << ""
                                  << "" << 0 << 1 << "" << red;
}

void TestForm1::statusLine()
{
    QFETCH(QString, snoozeTime);
    QFETCH(QString, ringingAlarm);
    QFETCH(int, check1);
    QFETCH(int, check2);
    QFETCH(QString, text);
    QFETCH(QColor, colour);
    Rig rig;
    rig.tick(); // red alert first: an empty status line keeps that colour
    rig.Check1->setText(QStringLiteral("9:00 PM"));
    rig.Check2->setText(QStringLiteral("9:30 PM"));
    rig.Check1->setValue(check1);
    rig.Check2->setValue(check2);
    rig.form->snoozeTime = snoozeTime;
    rig.form->ringingAlarm = ringingAlarm;
    rig.tick();
    QCOMPARE(rig.Label3->text(), text);
    QCOMPARE(rig.Label3->foreColor(), colour);
}

void TestForm1::displayTurnsWithTheMinute()
{
    Rig rig(QDateTime(QDate(2026, 3, 2), QTime(11, 59, 59, 990)));
    QSignalSpy changes(rig.Label1, &NotifyingLabel::changed);
    rig.tick();
    QCOMPARE(changes.count(), 0);
    rig.clock.advanceSecs(0);
    rig.clock.set(QTime(12, 0, 0, 4));
    rig.tick();
    QCOMPARE(rig.Label1->text(), QStringLiteral("12:00 PM"));
    QCOMPARE(changes.count(), 1);
    for (int i = 0; i < 50; ++i)
        rig.tick();
    QCOMPARE(changes.count(), 1);
    // Midnight turns the day as a clock does.
    rig.clock.set(QDateTime(QDate(2026, 3, 3), QTime(0, 0)));
    rig.tick();
    QCOMPARE(rig.Label1->text(), QStringLiteral("12:00 AM"));
}

void TestForm1::closeAsksFirst_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("closes");
    QTest::newRow("OK ends the program") << int(MsgBox::Ok) << true;
    QTest::newRow("Cancel keeps it running") << int(MsgBox::Cancel) << false;
}

void TestForm1::closeAsksFirst()
{
    QFETCH(int, answer);
    QFETCH(bool, closes);
    Rig rig;
    QVERIFY(rig.showActive());
    rig.arm(rig.Check1, clockText(QTime(7, 1)));
    rig.tickAt(QTime(7, 1));
    QVERIFY(rig.ringing());
    std::optional<MsgBox::Request> asked;
    MsgBox::setHandler([&](const MsgBox::Request &r) {
        asked = r;
        return MsgBox::Answer(answer);
    });
    QSignalSpy ended(rig.form.get(), &Form1::unloaded);
    rig.form->close();
    QVERIFY(asked);
    QCOMPARE(asked->prompt, QStringLiteral("Are you sure you want to close your Vellwake?"));
    QCOMPARE(asked->title, QStringLiteral("Vellwake"));
    QCOMPARE(asked->buttons, MsgBox::OkCancel);
    QCOMPARE(asked->icon, MsgBox::NoIcon);
    QCOMPARE(ended.count(), closes ? 1 : 0);
    QCOMPARE(rig.form->isVisible(), !closes);
    // Cancel leaves the alarm ringing; OK takes the sound with the program.
    QCOMPARE(rig.sound.looping(), !closes);
    if (!closes) {
        rig.tickAt(QTime(7, 2));
        QCOMPARE(rig.Label1->text(), QStringLiteral("7:02 AM"));
        QCOMPARE(rig.form->ringingAlarm, QStringLiteral("1"));
    }
}

void TestForm1::aboutOffersTheWebsite_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("launches");
    QTest::newRow("OK opens the website") << int(MsgBox::Ok) << true;
    QTest::newRow("Cancel launches nothing") << int(MsgBox::Cancel) << false;
}

void TestForm1::aboutOffersTheWebsite()
{
    QFETCH(int, answer);
    QFETCH(bool, launches);
    Rig rig;
    std::optional<MsgBox::Request> asked;
    MsgBox::setHandler([&](const MsgBox::Request &r) {
        asked = r;
        return MsgBox::Answer(answer);
    });
    QList<QUrl> launched;
    Launcher::setHandler([&](const QUrl &url) { launched << url; });
    rig.form->findChild<QAction *>(QStringLiteral("about"))->trigger();
    QVERIFY(asked);
    QCOMPARE(asked->title, QStringLiteral("Vellwake"));
    QCOMPARE(asked->buttons, MsgBox::OkCancel);
    QCOMPARE(asked->icon, MsgBox::NoIcon);
    for (const QString &part : {QStringLiteral("Vellwake"), QStringLiteral("1.0"),
                                QStringLiteral("2026"), Form1::maker, Form1::website})
        QVERIFY2(asked->prompt.contains(part), qPrintable(part));
    QCOMPARE(launched, launches ? QList<QUrl>{QUrl(Form1::website)} : QList<QUrl>{});
    QVERIFY(QUrl(Form1::website).host().endsWith(QLatin1String(".example.org")));
}

void TestForm1::ringStartsWhenMinuteShows()
{
    Rig rig(QDateTime(QDate(2026, 3, 2), QTime(7, 4, 50)));
    QVERIFY(rig.showActive());
    rig.arm(rig.Check1, QStringLiteral("7:05 AM"));
    rig.tick();
    QVERIFY(rig.sound.calls.empty());
    QCOMPARE(rig.Label3->text(), QString());
    rig.tickAt(QTime(7, 5, 0, 3));
    QCOMPARE(rig.sound.calls.size(), size_t(1));
    QCOMPARE(rig.sound.calls[0].name, std::optional<std::string>("alarm.wav"));
    QCOMPARE(rig.sound.calls[0].flags, loopAsync);
    QVERIFY(rig.Command3->isEnabled());
    QCOMPARE(QApplication::focusWidget(), rig.Command3);
    QVERIFY(!rig.Command1->isEnabled());
    QCOMPARE(rig.form->ringingAlarm, QStringLiteral("1"));
    QCOMPARE(rig.form->snoozeTime, QString());
    // The same tick already shows the outcome, and later ticks don't restart it.
    QCOMPARE(rig.Label3->text(), pressSpace);
    for (int s = 1; s < 60; s += 7)
        rig.tickAt(QTime(7, 5, s));
    QCOMPARE(rig.sound.playCount(), 1);
}

void TestForm1::captionsThatNeverMatch_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QTime>("time");
    QTest::newRow("leading zero hour") << "07:05 AM" << QTime(7, 5);
    QTest::newRow("one-digit minute") << "7:5 AM" << QTime(7, 5);
    QTest::newRow("not set") << "not set" << QTime(7, 5);
    QTest::newRow("lower-case designator") << "7:05 am" << QTime(7, 5);
    QTest::newRow("other half of the day") << "7:05 PM" << QTime(7, 5);
    QTest::newRow("ten o'clock vs one o'clock") << "10:05 AM" << QTime(1, 5);
    QTest::newRow("empty") << "" << QTime(7, 5);
}

void TestForm1::captionsThatNeverMatch()
{
    QFETCH(QString, caption);
    QFETCH(QTime, time);
    Rig rig(QDateTime(QDate(2026, 3, 2), time.addSecs(-60)));
    rig.arm(rig.Check1, caption);
    rig.arm(rig.Check2, caption);
    rig.tickAt(time);
    QCOMPARE(rig.sound.playCount(), 0);
    QCOMPARE(rig.form->ringingAlarm, QString());
}

void TestForm1::snoozeWithSpaceBarAndReturn()
{
    Rig rig(QDateTime(QDate(2026, 3, 2), QTime(6, 59)));
    QVERIFY(rig.showActive());
    rig.arm(rig.Check2, QStringLiteral("7:00 AM"));
    rig.tickAt(QTime(7, 0));
    QVERIFY(rig.ringing());

    // Ringing -> Snoozing: the space bar presses the focused snooze button.
    rig.clock.set(QTime(7, 0, 20));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    QVERIFY(!rig.sound.looping());
    QCOMPARE(rig.sound.calls.back().name, std::nullopt);
    QCOMPARE(rig.sound.calls.back().flags, DWORD(0));
    QCOMPARE(rig.form->snoozeTime, QStringLiteral("7:15 AM"));
    QVERIFY(!rig.Command3->isEnabled());
    QVERIFY(!rig.Command1->isEnabled());
    QCOMPARE(rig.form->ringingAlarm, QStringLiteral("2"));
    rig.tick();
    QCOMPARE(rig.Label3->text(), snoozing);

    for (int m = 1; m < 15; ++m)
        rig.tickAt(QTime(7, m));
    QVERIFY(!rig.sound.looping());

    // Snoozing -> Ringing at the snooze time.
    rig.tickAt(QTime(7, 15));
    QVERIFY(rig.ringing());
    QCOMPARE(rig.sound.calls.back().flags, loopAsync);
    QCOMPARE(QApplication::focusWidget(), rig.Command3);
    QCOMPARE(rig.form->snoozeTime, QString());
    QCOMPARE(rig.form->ringingAlarm, QStringLiteral("2"));
    QVERIFY(!rig.Command1->isEnabled());
    QCOMPARE(rig.Label3->text(), pressSpace);
}

void TestForm1::snoozeTimeDropsSeconds_data()
{
    QTest::addColumn<QDateTime>("clicked");
    QTest::addColumn<QString>("snoozeTime");
    QTest::addColumn<QDateTime>("returns");
    const QDate day(2026, 3, 2);
    QTest::newRow("7:03:50 AM") << QDateTime(day, QTime(7, 3, 50)) << "7:18 AM"
                                << QDateTime(day, QTime(7, 18));
    QTest::newRow("across midnight") << QDateTime(day, QTime(23, 50)) << "12:05 AM"
                                     << QDateTime(day.addDays(1), QTime(0, 5));
    QTest::newRow("across noon") << QDateTime(day, QTime(11, 45, 59)) << "12:00 PM"
                                 << QDateTime(day, QTime(12, 0));
}

void TestForm1::snoozeTimeDropsSeconds()
{
    QFETCH(QDateTime, clicked);
    QFETCH(QString, snoozeTime);
    QFETCH(QDateTime, returns);
    const QDateTime due(clicked.date(), QTime(clicked.time().hour(), clicked.time().minute()));
    Rig rig(due.addSecs(-60));
    rig.arm(rig.Check1, clockText(due.time()));
    rig.clock.set(due);
    rig.tick();
    QVERIFY(rig.ringing());
    rig.clock.set(clicked);
    rig.form->Command3_Click();
    QCOMPARE(rig.form->snoozeTime, snoozeTime);
    rig.clock.set(returns.addMSecs(-10));
    rig.tick();
    QVERIFY(!rig.sound.looping());
    rig.clock.set(returns);
    rig.tick();
    QVERIFY(rig.ringing());
}

void TestForm1::bothSlotsDueTogether()
{
    Rig rig(QDateTime(QDate(2026, 3, 2), QTime(6, 29)));
    rig.arm(rig.Check1, QStringLiteral("6:30 AM"));
    rig.arm(rig.Check2, QStringLiteral("6:30 AM"));
    rig.tickAt(QTime(6, 30));
    QCOMPARE(rig.sound.playCount(), 2);
    QCOMPARE(rig.form->ringingAlarm, QStringLiteral("2"));
    rig.Check1->setValue(0);
    QVERIFY(rig.ringing());
    QCOMPARE(rig.form->ringingAlarm, QStringLiteral("2"));
    rig.Check2->setValue(0);
    QVERIFY(!rig.sound.looping());
    QVERIFY(!rig.Command3->isEnabled());
    QVERIFY(rig.Command1->isEnabled());
    QCOMPARE(rig.form->ringingAlarm, QString());
}

void TestForm1::secondSlotDueWhileFirstRings()
{
    Rig rig(QDateTime(QDate(2026, 3, 2), QTime(6, 29)));
    rig.arm(rig.Check1, QStringLiteral("6:30 AM"));
    rig.arm(rig.Check2, QStringLiteral("6:31 AM"));
    rig.tickAt(QTime(6, 30));
    QCOMPARE(rig.form->ringingAlarm, QStringLiteral("1"));
    rig.tickAt(QTime(6, 31));
    QCOMPARE(rig.sound.playCount(), 2); // restarted
    QCOMPARE(rig.form->ringingAlarm, QStringLiteral("2"));
    rig.Check1->setValue(0); // no longer the ringing slot
    QVERIFY(rig.ringing());
    rig.Check2->setValue(0);
    QVERIFY(!rig.sound.looping());
}

void TestForm1::ringingOverASnooze()
{
    Rig rig(QDateTime(QDate(2026, 3, 2), QTime(6, 29)));
    QVERIFY(rig.showActive());
    rig.arm(rig.Check1, QStringLiteral("6:30 AM"));
    rig.arm(rig.Check2, QStringLiteral("6:40 AM"));
    rig.tickAt(QTime(6, 30));
    rig.form->Command3_Click(); // Snoozing until 6:45
    QCOMPARE(rig.form->snoozeTime, QStringLiteral("6:45 AM"));
    rig.Command1->setFocus();

    // Snoozing -> Ringing over a snooze: slot 2 comes due, the snooze stays.
    rig.tickAt(QTime(6, 40));
    QVERIFY(rig.ringing());
    QCOMPARE(QApplication::focusWidget(), rig.Command3);
    QCOMPARE(rig.form->ringingAlarm, QStringLiteral("2"));
    QCOMPARE(rig.form->snoozeTime, QStringLiteral("6:45 AM"));
    QCOMPARE(rig.Label3->text(), snoozing);

    // Ringing over a snooze -> snooze replaces the pending time.
    rig.clock.set(QTime(6, 41));
    rig.form->Command3_Click();
    QCOMPARE(rig.form->snoozeTime, QStringLiteral("6:56 AM"));
    rig.tickAt(QTime(6, 45));
    QVERIFY(!rig.sound.looping());

    // Snoozing -> Ringing over a snooze again, then the snooze time comes: Ringing.
    rig.arm(rig.Check1, QStringLiteral("6:50 AM"));
    rig.tickAt(QTime(6, 50));
    QVERIFY(rig.ringing());
    const int plays = rig.sound.playCount();
    rig.tickAt(QTime(6, 56));
    QCOMPARE(rig.sound.playCount(), plays + 1); // the snooze return restarts it
    QCOMPARE(rig.form->snoozeTime, QString());
    QCOMPARE(rig.Label3->text(), pressSpace);
    QCOMPARE(rig.form->ringingAlarm, QStringLiteral("1"));
}

void TestForm1::disarm_data()
{
    QTest::addColumn<int>("snoozes");
    QTest::addColumn<bool>("overSnooze");
    QTest::addColumn<bool>("otherArmed");
    QTest::newRow("ringing, other unset") << 0 << false << false;
    QTest::newRow("ringing, other armed") << 0 << false << true;
    QTest::newRow("snoozing") << 1 << false << false;
    QTest::newRow("ringing over a snooze") << 1 << true << true;
}

void TestForm1::disarm()
{
    QFETCH(int, snoozes);
    QFETCH(bool, overSnooze);
    QFETCH(bool, otherArmed);
    Rig rig(QDateTime(QDate(2026, 3, 2), QTime(8, 59)));
    QVERIFY(rig.showActive());
    rig.arm(rig.Check1, QStringLiteral("9:00 AM"));
    if (otherArmed)
        rig.arm(rig.Check2, QStringLiteral("9:05 AM"));
    rig.tickAt(QTime(9, 0));
    if (snoozes)
        rig.form->Command3_Click();
    NotifyingCheckBox *ringingSlot = rig.Check1;
    if (overSnooze) {
        rig.tickAt(QTime(9, 5));
        QVERIFY(rig.ringing());
        ringingSlot = rig.Check2;
    }
    // The user clicks the ringing slot to uncheck it.
    QTest::mouseClick(ringingSlot, Qt::LeftButton);
    QCOMPARE(ringingSlot->value(), 0);
    QVERIFY(!rig.sound.looping());
    QCOMPARE(rig.sound.calls.back().name, std::nullopt);
    QVERIFY(!rig.Command3->isEnabled());
    QVERIFY(rig.Command1->isEnabled());
    QCOMPARE(rig.form->snoozeTime, QString());
    QCOMPARE(rig.form->ringingAlarm, QString());
    // The dropped snooze never comes back.
    for (int m = 6; m <= 30; ++m)
        rig.tickAt(QTime(9, m));
    QVERIFY(!rig.sound.looping());
    const bool stillArmed = rig.Check1->value() || rig.Check2->value();
    QCOMPARE(rig.Label3->text(), stillArmed ? QString() : noAlarm);

    // Checking it again arms it for the next time its minute comes.
    ringingSlot->setValue(1);
    rig.clock.set(QDateTime(QDate(2026, 3, 3), QTime(8, 59)));
    rig.tick();
    rig.clock.set(
            QDateTime(QDate(2026, 3, 3), ringingSlot == rig.Check1 ? QTime(9, 0) : QTime(9, 5)));
    rig.tick();
    QVERIFY(rig.ringing());
}

void TestForm1::uncheckingOtherSlotChangesNothing()
{
    Rig rig(QDateTime(QDate(2026, 3, 2), QTime(8, 59)));
    QVERIFY(rig.showActive());
    rig.arm(rig.Check1, QStringLiteral("9:00 AM"));
    rig.arm(rig.Check2, QStringLiteral("10:00 AM"));
    rig.tickAt(QTime(9, 0));
    QTest::mouseClick(rig.Check2, Qt::LeftButton);
    QCOMPARE(rig.Check2->value(), 0);
    QVERIFY(rig.ringing());
    QTest::mouseClick(rig.Check2, Qt::LeftButton);
    QVERIFY(rig.ringing());
    QCOMPARE(rig.form->ringingAlarm, QStringLiteral("1"));
    QVERIFY(!rig.Command1->isEnabled());
}

void TestForm1::slotCheckedDuringItsMinuteRingsNextDay()
{
    Rig rig(QDateTime(QDate(2026, 3, 2), QTime(7, 5, 10)));
    rig.Check1->setText(QStringLiteral("7:05 AM"));
    rig.Check1->setEnabled(true);
    rig.tick();
    rig.Check1->setValue(1); // armed during its own minute
    rig.tickAt(QTime(7, 5, 40));
    QCOMPARE(rig.sound.playCount(), 0);
    // An unchecked slot that comes due stays silent too.
    rig.Check2->setText(QStringLiteral("7:06 AM"));
    rig.Check2->setEnabled(true);
    rig.tickAt(QTime(7, 6));
    QCOMPARE(rig.sound.playCount(), 0);
    rig.clock.set(QDateTime(QDate(2026, 3, 3), QTime(7, 4, 59)));
    rig.tick();
    QCOMPARE(rig.sound.playCount(), 0);
    rig.clock.set(QDateTime(QDate(2026, 3, 3), QTime(7, 5)));
    rig.tick();
    QVERIFY(rig.ringing());
}

void TestForm1::skippedSnoozeStaysPending()
{
    Rig rig(QDateTime(QDate(2026, 3, 2), QTime(6, 59)));
    rig.arm(rig.Check1, QStringLiteral("7:00 AM"));
    rig.tickAt(QTime(7, 0));
    rig.form->Command3_Click();
    QCOMPARE(rig.form->snoozeTime, QStringLiteral("7:15 AM"));
    // The clock jumps over the snooze minute (or the machine slept through it).
    rig.tickAt(QTime(7, 14));
    rig.tickAt(QTime(7, 16));
    QVERIFY(!rig.sound.looping());
    QCOMPARE(rig.form->snoozeTime, QStringLiteral("7:15 AM"));
    QCOMPARE(rig.Label3->text(), snoozing);
    // It comes back the next time the display shows that text.
    rig.clock.set(QDateTime(QDate(2026, 3, 2), QTime(7, 15)));
    rig.tick();
    QVERIFY(rig.ringing());
    QCOMPARE(rig.form->snoozeTime, QString());
}

void TestForm1::ringsWhileHiddenAndSnoozesOnReturn()
{
    Rig rig(QDateTime(QDate(2026, 3, 2), QTime(6, 59)));
    QVERIFY(rig.showActive());
    rig.arm(rig.Check1, QStringLiteral("7:00 AM"));
    rig.Command1->setFocus();
    rig.form->hide();
    rig.tickAt(QTime(7, 0));
    QVERIFY(rig.sound.looping());
    QVERIFY(rig.Command3->isEnabled());
    QVERIFY(!rig.Command1->isEnabled());
    QCOMPARE(rig.form->ringingAlarm, QStringLiteral("1"));
    QVERIFY(rig.showActive());
    QCOMPARE(QApplication::focusWidget(), rig.Command3);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    QCOMPARE(rig.form->snoozeTime, QStringLiteral("7:15 AM"));
    QVERIFY(!rig.sound.looping());
}

void TestForm1::snoozeAcrossDaylightSaving_data()
{
    QTest::addColumn<QByteArray>("zone");
    QTest::addColumn<QDateTime>("clickUtc");
    QTest::addColumn<QString>("snoozeTime");
    const auto utc = [](int mo, int d, int h, int mi) {
        return QDateTime(QDate(2026, mo, d), QTime(h, mi), Qt::UTC);
    };
    // 1:55 AM + 15 minutes of real time: the display skips 2:00-2:59.
    QTest::newRow("Berlin, spring forward")
            << QByteArray("Europe/Berlin") << utc(3, 29, 0, 55) << "3:10 AM";
    // 2:50 AM summer time + 15 minutes is 2:05 AM winter time, not 3:05.
    QTest::newRow("Berlin, fall back")
            << QByteArray("Europe/Berlin") << utc(10, 25, 0, 50) << "2:05 AM";
    QTest::newRow("New York, spring forward")
            << QByteArray("America/New_York") << utc(3, 8, 6, 55) << "3:10 AM";
    QTest::newRow("New York, fall back")
            << QByteArray("America/New_York") << utc(11, 1, 5, 50) << "1:05 AM";
    QTest::newRow("ordinary night") << QByteArray("Europe/Berlin") << utc(3, 2, 0, 55) << "2:10 AM";
}

void TestForm1::snoozeAcrossDaylightSaving()
{
    QFETCH(QByteArray, zone);
    QFETCH(QDateTime, clickUtc);
    QFETCH(QString, snoozeTime);
    setZone(zone.constData());
    const QDateTime click = clickUtc.toLocalTime();
    Rig rig(click.addSecs(-60));
    rig.arm(rig.Check1, clockText(click.time()));
    rig.clock.set(click);
    rig.tick();
    QVERIFY(rig.ringing());
    rig.form->Command3_Click();
    QCOMPARE(rig.form->snoozeTime, snoozeTime);
    // Walk real time minute by minute: it comes back after exactly 15.
    int minutes = 0;
    while (!rig.sound.looping() && minutes < 24 * 60) {
        rig.clock.advanceMinutes(1);
        rig.tick();
        ++minutes;
    }
    QCOMPARE(minutes, 15);
}

void TestForm1::alarmsOnDaylightSavingNights()
{
    setZone("Europe/Berlin");
    // Spring forward: 2:30 AM never shows, so that alarm doesn't ring that night.
    {
        Rig rig(localFromUtc(2026, 3, 29, 0, 0));
        rig.arm(rig.Check1, QStringLiteral("2:30 AM"));
        for (int m = 0; m < 120; ++m) {
            rig.clock.advanceMinutes(1);
            rig.tick();
        }
        QCOMPARE(rig.Label1->text(), QStringLiteral("4:00 AM"));
        QCOMPARE(rig.sound.playCount(), 0);
    }
    // Fall back: 2:30 AM shows twice and rings each time.
    {
        Rig rig(localFromUtc(2026, 10, 24, 23, 59));
        rig.arm(rig.Check1, QStringLiteral("2:30 AM"));
        int rings = 0;
        for (int m = 0; m < 180; ++m) {
            rig.clock.advanceMinutes(1);
            const int before = rig.sound.playCount();
            rig.tick();
            if (rig.sound.playCount() > before) {
                ++rings;
                QCOMPARE(rig.Label1->text(), QStringLiteral("2:30 AM"));
                rig.form->Command3_Click();
                rig.Check1->setValue(0); // disarmed ...
                rig.Check1->setValue(1); // ... and armed again for the next 2:30
            }
        }
        QCOMPARE(rings, 2);
    }
}

void TestForm1::weekSoak()
{
    // A week minute by minute with both alarms armed; the user snoozes,
    // disarms and re-arms on a fixed pseudo-random schedule.
    Rig rig(QDateTime(QDate(2026, 3, 2), QTime(0, 0)));
    rig.arm(rig.Check1, QStringLiteral("6:30 AM"));
    rig.arm(rig.Check2, QStringLiteral("6:45 AM"));
    std::mt19937 random(20261206);
    QString pendingSnooze;
    int rings = 0;
    for (int minute = 1; minute <= 7 * 24 * 60; ++minute) {
        rig.clock.set(QDateTime(QDate(2026, 3, 2), QTime(0, 0))
                              .addSecs(qint64(minute) * 60 + random() % 50));
        const QString shown = clockText(rig.clock.now().time());
        const bool due = (rig.Check1->value() && rig.Check1->text() == shown)
                || (rig.Check2->value() && rig.Check2->text() == shown) || pendingSnooze == shown;
        const int before = rig.sound.playCount();
        rig.tick();
        rig.tick(); // a second tick in the same minute never rings again
        const bool rang = rig.sound.playCount() > before;
        QVERIFY2(rang == due, qPrintable(QStringLiteral("minute %1, %2").arg(minute).arg(shown)));
        if (rang) {
            ++rings;
            if (pendingSnooze == shown)
                pendingSnooze.clear();
        }

        if (rig.sound.looping()) {
            switch (random() % 4) {
            case 0: // leave it ringing a while
                break;
            case 1:
            case 2:
                rig.form->Command3_Click();
                pendingSnooze = rig.form->snoozeTime;
                break;
            case 3:
                (rig.form->ringingAlarm == u"1" ? rig.Check1 : rig.Check2)->setValue(0);
                pendingSnooze.clear();
                break;
            }
        } else if (shown == u"12:00 PM") {
            // Every noon the user arms both alarms again.
            rig.Check1->setValue(1);
            rig.Check2->setValue(1);
        } else if (random() % 3000 == 0) {
            NotifyingCheckBox *slot = random() % 2 ? rig.Check1 : rig.Check2;
            slot->setValue(1 - slot->value());
            if (rig.form->ringingAlarm.isEmpty())
                pendingSnooze.clear();
        }

        // The sound never plays without a ringing state, and the buttons follow it.
        QCOMPARE(rig.Command3->isEnabled(), rig.sound.looping());
        QVERIFY(!rig.sound.looping() || !rig.form->ringingAlarm.isEmpty());
        QVERIFY(rig.form->snoozeTime.isEmpty() || !rig.form->ringingAlarm.isEmpty());
        QCOMPARE(rig.Command1->isEnabled(), rig.form->ringingAlarm.isEmpty());
        QCOMPARE(rig.form->snoozeTime, pendingSnooze);
    }
    QVERIFY2(rings >= 14, qPrintable(QString::number(rings)));
}

QTEST_MAIN(TestForm1)
#include "tst_form1.moc"
