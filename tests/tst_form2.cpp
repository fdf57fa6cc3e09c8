// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#include "app/Form1.h"
#include "support/FakeSoundPlatform.h"
#include "support/TestClock.h"
#include "tst_timefields_helpers.h"

#include <QLabel>
#include <QScreen>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

Form2 *openedForm2()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->objectName() == u"Form2" && w->isVisible())
            return qobject_cast<Form2 *>(w);
    return nullptr;
}

// The main window on a clock and a sound device the test controls.
struct Rig
{
    explicit Rig(QTime start = QTime(7, 0))
        : clock(QDateTime(QDate(2026, 3, 2), start))
    {
        form = std::make_unique<Form1>(clock.clock());
        slot1 = form->findChild<NotifyingCheckBox *>(u"Check1"_s);
        slot2 = form->findChild<NotifyingCheckBox *>(u"Check2"_s);
        setAlarms = form->findChild<QPushButton *>(u"Command1"_s);
        snooze = form->findChild<QPushButton *>(u"Command3"_s);
    }
    ~Rig()
    {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (w->objectName() == u"Form2")
                delete w;
    }
    // Opens the Set Alarms window with a click on "Set Alarms".
    Form2 *open()
    {
        QTest::mouseClick(setAlarms, Qt::LeftButton);
        Form2 *form2 = openedForm2();
        return form2 && activate(form2) ? form2 : nullptr;
    }
    void tickAt(QTime t)
    {
        clock.set(t);
        form->Timer1_Timer();
    }
    void preset(NotifyingCheckBox *slot, const QString &caption, int value)
    {
        if (caption.isEmpty())
            return;
        slot->setText(caption);
        slot->setEnabled(true);
        slot->setValue(value);
    }

    FakeSoundPlatform sound;
    TestClock clock;
    std::unique_ptr<Form1> form;
    NotifyingCheckBox *slot1, *slot2;
    QPushButton *setAlarms, *snooze;
};

QList<int> boxValues(QWidget *form2)
{
    QList<int> values;
    for (int n = 1; n <= 4; ++n)
        values << choiceBox(form2, n)->value();
    return values;
}

} // namespace

class TestForm2 : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { dropPlatformRaiseWarnings(); }
    void openingState();
    void tabOrder();
    void choicePairs_data();
    void choicePairs();
    void tabbingOntoBoxes();
    void apply_data();
    void apply();
    void pmWinsOverAm();
    void applyWithNothingEnteredStillCloses();
    void closeBoxChangesNothing();
    void reopeningAfterApplyStartsAfresh();
    void alarmRingsWhileOpenAndApplyKeepsItRinging();
    void bothAlarmsByKeyboardAlone();
    void alarmByMouse();
};

void TestForm2::openingState()
{
    Rig r;
    QVERIFY(activate(r.form.get()));
    Form2 *form2 = r.open();
    QVERIFY(form2);
    QVERIFY(!r.form->isVisible());
    QVERIFY(!form2->parentWidget());
    QCOMPARE(form2->windowTitle(), u"Vellwake - Set Alarms"_s);
    const Qt::WindowFlags flags = form2->windowFlags();
    QCOMPARE(flags & Qt::WindowType_Mask, Qt::Tool);
    QVERIFY(flags & Qt::WindowCloseButtonHint);
    QVERIFY(!(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    QCOMPARE(form2->minimumSize(), QSize(348, 128));
    QCOMPARE(form2->maximumSize(), QSize(348, 128));
    const QPoint screenCentre = QGuiApplication::primaryScreen()->availableGeometry().center();
    // Centred with its frame; the frame's width is the platform's.
    const QPoint frame = form2->geometry().topLeft() - form2->frameGeometry().topLeft();
    QVERIFY((form2->geometry().center() - screenCentre).manhattanLength()
            <= frame.manhattanLength() + 2);
    // No icon of its own and none borrowed from the main window.
    const QImage icon = form2->windowIcon().pixmap(16, 16).toImage();
    QVERIFY(!icon.isNull());
    QCOMPARE(icon.pixelColor(8, 8).alpha(), 0);

    for (int n = 1; n <= 4; ++n) {
        QVERIFY(textField(form2, n)->text().isEmpty());
        QCOMPARE(textField(form2, n)->maxLength(), 2);
    }
    QCOMPARE(boxValues(form2), QList<int>({1, 0, 1, 0}));
    QVERIFY(!applyButton(form2)->isEnabled());
    QCOMPARE(QApplication::focusWidget(), textField(form2, 1));
    QCOMPARE(textField(form2, 1)->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
    QCOMPARE(textField(form2, 2)->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
    QCOMPARE(textField(form2, 1)->font().pointSizeF(), 18.0);
    QVERIFY(form2->findChild<QLabel *>(u"Label3"_s)->font().bold());
    QCOMPARE(form2->findChild<QLabel *>(u"Label1"_s)->font().pointSizeF(), 13.5);
}

void TestForm2::tabOrder()
{
    Form2Fixture f;
    QVERIFY(activate(f.form));
    play(f.form, 1, u"^h930"_s); // enables the button, leaves the focus in Text2
    const QStringList expected = {u"Command1"_s, u"Text3"_s,  u"Text4"_s, u"Check1"_s, u"Check2"_s,
                                  u"Check3"_s,   u"Check4"_s, u"Text1"_s, u"Text2"_s};
    QStringList visited;
    for (qsizetype i = 0; i < expected.size(); ++i) {
        pressKey(Qt::Key_Tab);
        visited << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(visited, expected);
}

void TestForm2::choicePairs_data()
{
    QTest::addColumn<int>("alarm");
    QTest::addColumn<QString>("script");
    QTest::addColumn<int>("am");
    QTest::addColumn<int>("pm");
    for (int alarm : {1, 2}) {
        QTest::addRow("alarm %d: click PM", alarm) << alarm << u"^p"_s << 0 << 1;
        QTest::addRow("alarm %d: click unfocused AM", alarm) << alarm << u"^a"_s << 0 << 0;
        QTest::addRow("alarm %d: click AM twice", alarm) << alarm << u"^a^a"_s << 1 << 0;
        QTest::addRow("alarm %d: click PM twice", alarm) << alarm << u"^p^p"_s << 0 << 0;
        QTest::addRow("alarm %d: PM then AM", alarm) << alarm << u"^p^a"_s << 1 << 0;
        QTest::addRow("alarm %d: PM then space", alarm) << alarm << u"^p^S"_s << 0 << 0;
    }
}

void TestForm2::choicePairs()
{
    QFETCH(int, alarm);
    QFETCH(QString, script);
    Form2Fixture f;
    QVERIFY(activate(f.form));
    play(f.form, alarm, script);
    QTEST(f.check(alarm * 2 - 1)->value(), "am");
    QTEST(f.check(alarm * 2)->value(), "pm");
    // The other pair stays as loaded.
    QCOMPARE(f.check(alarm == 1 ? 3 : 1)->value(), 1);
    QCOMPARE(f.check(alarm == 1 ? 4 : 2)->value(), 0);
}

void TestForm2::tabbingOntoBoxes()
{
    Form2Fixture f;
    QVERIFY(activate(f.form));
    clickField(f.text(4));
    const QList<QList<int>> afterEachTab = {{1, 0, 1, 0}, {0, 0, 1, 0}, {0, 0, 1, 0}, {0, 0, 0, 0}};
    for (int n = 1; n <= 4; ++n) {
        pressKey(Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), f.check(n));
        QCOMPARE(boxValues(f.form), afterEachTab.at(n - 1));
    }
    pressKey(Qt::Key_Space);
    QCOMPARE(boxValues(f.form), QList<int>({0, 0, 0, 1}));
}

void TestForm2::apply_data()
{
    QTest::addColumn<QString>("preset1");
    QTest::addColumn<int>("value1");
    QTest::addColumn<QString>("preset2");
    QTest::addColumn<int>("value2");
    QTest::addColumn<QString>("script1");
    QTest::addColumn<QString>("script2");
    QTest::addColumn<QString>("caption1");
    QTest::addColumn<QString>("caption2");
    QTest::addColumn<int>("armed1");
    QTest::addColumn<int>("armed2");

    const QString notSet = u"not set"_s;
    QTest::newRow("7:05 with no box touched") << QString() << 0 << QString() << 0 << u"^h705"_s
                                              << QString() << u"7:05 AM"_s << notSet << 1 << 0;
    QTest::newRow("PM clicked for alarm 2") << QString() << 0 << QString() << 0 << QString()
                                            << u"^p^h1230"_s << notSet << u"12:30 PM"_s << 0 << 1;
    QTest::newRow("both boxes unchecked") << QString() << 0 << QString() << 0 << u"^a^h705"_s
                                          << QString() << u"7:05 AM"_s << notSet << 1 << 0;
    QTest::newRow("tabbed onto PM") << QString() << 0 << QString() << 0 << u"^h705^T^T^T^T^T"_s
                                    << QString() << u"7:05 AM"_s << notSet << 1 << 0;
    QTest::newRow("space on PM") << QString() << 0 << QString() << 0 << u"^h705^T^T^T^T^T^S"_s
                                 << QString() << u"7:05 PM"_s << notSet << 1 << 0;
    QTest::newRow("empty hour keeps an armed slot")
            << QString() << 0 << u"9:15 PM"_s << 1 << u"^h705"_s << QString() << u"7:05 AM"_s
            << u"9:15 PM"_s << 1 << 1;
    QTest::newRow("empty hour keeps a disarmed slot")
            << u"6:00 AM"_s << 0 << QString() << 0 << QString() << u"^h1^m00"_s << u"6:00 AM"_s
            << u"1:00 AM"_s << 0 << 1;
    QTest::newRow("same time again stays armed")
            << u"7:05 AM"_s << 1 << QString() << 0 << u"^h705"_s << QString() << u"7:05 AM"_s
            << notSet << 1 << 0;
    QTest::newRow("both alarms") << QString() << 0 << QString() << 0 << u"^p^h1159"_s
                                 << u"^h1^m00"_s << u"11:59 PM"_s << u"1:00 AM"_s << 1 << 1;
}

void TestForm2::apply()
{
    QFETCH(QString, preset1);
    QFETCH(int, value1);
    QFETCH(QString, preset2);
    QFETCH(int, value2);
    QFETCH(QString, script1);
    QFETCH(QString, script2);
    Rig r;
    r.preset(r.slot1, preset1, value1);
    r.preset(r.slot2, preset2, value2);
    QVERIFY(activate(r.form.get()));
    QPointer<Form2> form2 = r.open();
    QVERIFY(form2);
    play(form2, 1, script1);
    play(form2, 2, script2);
    QVERIFY(applyButton(form2)->isEnabled());
    QTest::mouseClick(applyButton(form2), Qt::LeftButton);

    QVERIFY(!form2->isVisible());
    QVERIFY(r.form->isVisible());
    QTEST(r.slot1->text(), "caption1");
    QTEST(r.slot2->text(), "caption2");
    QTEST(r.slot1->value(), "armed1");
    QTEST(r.slot2->value(), "armed2");
    // A slot is enabled once a time has been written into it.
    QCOMPARE(r.slot1->isEnabled(), r.slot1->text() != u"not set");
    QCOMPARE(r.slot2->isEnabled(), r.slot2->text() != u"not set");
    QTRY_VERIFY(form2.isNull());
}

void TestForm2::pmWinsOverAm()
{
    Form2Fixture f;
    QVERIFY(activate(f.form));
    play(f.form, 1, u"^h705"_s);
    // Only the program can check both boxes of a pair; PM wins then.
    f.check(2)->setValue(1);
    QTest::mouseClick(applyButton(f.form), Qt::LeftButton);
    QCOMPARE(f.slot1.text(), u"7:05 PM"_s);
}

void TestForm2::applyWithNothingEnteredStillCloses()
{
    Form2Fixture f;
    QVERIFY(activate(f.form));
    f.form->Command1_Click();
    QCOMPARE(f.slot1.text(), u"not set"_s);
    QCOMPARE(f.slot2.text(), u"not set"_s);
    QVERIFY(!f.slot1.isEnabled());
    QVERIFY(f.mainWindow.isVisible());
    QVERIFY(!f.form->isVisible());
}

void TestForm2::closeBoxChangesNothing()
{
    Rig r;
    r.preset(r.slot2, u"9:15 PM"_s, 1);
    QVERIFY(activate(r.form.get()));
    QPointer<Form2> form2 = r.open();
    QVERIFY(form2);
    play(form2, 1, u"^h705"_s);
    play(form2, 2, u"^h1030"_s);
    form2->windowHandle()->close(); // as the title bar's close box does
    QVERIFY(r.form->isVisible());
    QCOMPARE(r.slot1->text(), u"not set"_s);
    QVERIFY(!r.slot1->isEnabled());
    QCOMPARE(r.slot2->text(), u"9:15 PM"_s);
    QCOMPARE(r.slot2->value(), 1);
    QTRY_VERIFY(form2.isNull());
}

void TestForm2::reopeningAfterApplyStartsAfresh()
{
    Rig r;
    QVERIFY(activate(r.form.get()));
    QPointer<Form2> first = r.open();
    QVERIFY(first);
    play(first, 1, u"^p^h705"_s);
    play(first, 2, u"^h1230"_s);
    QTest::mouseClick(applyButton(first), Qt::LeftButton);
    QTRY_VERIFY(first.isNull());
    QVERIFY(activate(r.form.get()));

    Form2 *second = r.open();
    QVERIFY(second);
    for (int n = 1; n <= 4; ++n)
        QVERIFY(textField(second, n)->text().isEmpty());
    QCOMPARE(boxValues(second), QList<int>({1, 0, 1, 0}));
    QVERIFY(!applyButton(second)->isEnabled());
}

void TestForm2::alarmRingsWhileOpenAndApplyKeepsItRinging()
{
    Rig r(QTime(6, 58));
    QVERIFY(activate(r.form.get()));
    Form2 *form2 = r.open();
    QVERIFY(form2);
    play(form2, 1, u"^h700"_s);
    QTest::mouseClick(applyButton(form2), Qt::LeftButton);
    r.tickAt(QTime(6, 59));
    QVERIFY(!r.sound.looping());

    QVERIFY(activate(r.form.get()));
    form2 = r.open();
    QVERIFY(form2);
    r.tickAt(QTime(7, 0)); // the hidden main window keeps its clock
    QVERIFY(r.sound.looping());
    QCOMPARE(r.form->ringingAlarm, u"1"_s);
    QVERIFY(!r.form->isVisible());
    const int stopsBefore = r.sound.stopCount();

    play(form2, 1, u"^h730"_s);
    play(form2, 2, u"^h815"_s);
    QTest::mouseClick(applyButton(form2), Qt::LeftButton);
    QVERIFY(r.form->isVisible());
    QCOMPARE(r.slot1->text(), u"7:30 AM"_s);
    QCOMPARE(r.slot2->text(), u"8:15 AM"_s);
    QCOMPARE(r.slot1->value(), 1);
    QVERIFY(r.sound.looping());
    QCOMPARE(r.sound.stopCount(), stopsBefore);
    QCOMPARE(r.form->ringingAlarm, u"1"_s);
    QVERIFY(r.snooze->isEnabled());
    QVERIFY(!r.setAlarms->isEnabled());
}

void TestForm2::bothAlarmsByKeyboardAlone()
{
    Rig r(QTime(18, 0));
    QVERIFY(activate(r.form.get()));
    QCOMPARE(QApplication::focusWidget(), r.setAlarms);
    pressKey(Qt::Key_Space);
    QPointer<Form2> form2 = openedForm2();
    QVERIFY(form2);
    QVERIFY(activate(form2));
    // 7:05, on to alarm 2 for 1:30, PM for alarm 1 by Tab and Space, then SET.
    play(form2, 1, u"705^T^T1^T30^T^T^S^T^T^T^T^T"_s);
    QCOMPARE(QApplication::focusWidget(), applyButton(form2));
    pressKey(Qt::Key_Space);
    QTRY_VERIFY(form2.isNull());
    QCOMPARE(r.slot1->text(), u"7:05 PM"_s);
    QCOMPARE(r.slot2->text(), u"1:30 AM"_s);

    QVERIFY(activate(r.form.get()));
    r.tickAt(QTime(19, 4));
    QVERIFY(!r.sound.looping());
    r.tickAt(QTime(19, 5));
    QVERIFY(r.sound.looping());
    QCOMPARE(r.form->ringingAlarm, u"1"_s);
    QCOMPARE(QApplication::focusWidget(), r.snooze);
    pressKey(Qt::Key_Space); // snooze
    QVERIFY(!r.sound.looping());

    r.clock.set(QDateTime(QDate(2026, 3, 3), QTime(1, 29)));
    r.form->Timer1_Timer();
    QVERIFY(!r.sound.looping());
    r.tickAt(QTime(1, 30));
    QVERIFY(r.sound.looping());
    QCOMPARE(r.form->ringingAlarm, u"2"_s);
}

void TestForm2::alarmByMouse()
{
    Rig r(QTime(23, 0));
    QVERIFY(activate(r.form.get()));
    Form2 *form2 = r.open();
    QVERIFY(form2);
    play(form2, 1, u"^h1145^p"_s);
    QTest::mouseClick(applyButton(form2), Qt::LeftButton);
    QCOMPARE(r.slot1->text(), u"11:45 PM"_s);
    QVERIFY(activate(r.form.get()));
    r.tickAt(QTime(23, 44));
    QVERIFY(!r.sound.looping());
    r.tickAt(QTime(23, 45));
    QVERIFY(r.sound.looping());
    clickBox(r.slot1); // disarm
    QCOMPARE(r.slot1->value(), 0);
    QVERIFY(!r.sound.looping());
    QVERIFY(r.form->ringingAlarm.isEmpty());
}

QTEST_MAIN(TestForm2)
#include "tst_form2.moc"
