// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
//
// The clock ticks 200 times a second: a tick that changes nothing on screen
// must not repaint anything or rebuild a palette.
#include "app/Form1.h"
#include "support/FakeSoundPlatform.h"
#include "support/TestClock.h"
#include "ui/NotifyingCheckBox.h"
#include "ui/NotifyingLabel.h"

#include <QPushButton>
#include <QTest>

#include <map>

namespace {

// Counts the events each watched widget receives, by type.
class EventCounter : public QObject
{
public:
    void watch(QObject *o) { o->installEventFilter(this); }
    int count(QObject *o, QEvent::Type type) const
    {
        const auto it = m_counts.find({o, type});
        return it == m_counts.end() ? 0 : it->second;
    }
    void reset() { m_counts.clear(); }

protected:
    bool eventFilter(QObject *o, QEvent *event) override
    {
        ++m_counts[{o, event->type()}];
        return false;
    }

private:
    std::map<std::pair<QObject *, QEvent::Type>, int> m_counts;
};

enum class State { NoAlarm, Armed, Ringing, Snoozed };

} // namespace

Q_DECLARE_METATYPE(State)

class TestTick : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void ticksWithinMinuteRepaintNothing_data();
    void ticksWithinMinuteRepaintNothing();
    void minuteTurnRepaintsOnlyTheClock();
    void statusChangeSetsPaletteOnlyForNewColour_data();
    void statusChangeSetsPaletteOnlyForNewColour();

private:
    void bringTo(State state);
    // Lets every pending update reach the screen.
    static void settle() { QTest::qWait(40); }
    int paints(QObject *o) const { return m_events.count(o, QEvent::Paint); }
    int paletteChanges(QObject *o) const { return m_events.count(o, QEvent::PaletteChange); }

    std::unique_ptr<FakeSoundPlatform> m_sound;
    std::unique_ptr<TestClock> m_clock;
    std::unique_ptr<Form1> m_form;
    NotifyingLabel *m_label1 = nullptr;
    NotifyingLabel *m_label3 = nullptr;
    EventCounter m_events;
};

void TestTick::init()
{
    m_sound = std::make_unique<FakeSoundPlatform>();
    m_clock = std::make_unique<TestClock>(QDateTime(QDate(2026, 3, 2), QTime(7, 0)));
    m_form = std::make_unique<Form1>(m_clock->clock());
    m_label1 = m_form->findChild<NotifyingLabel *>(QStringLiteral("Label1"));
    m_label3 = m_form->findChild<NotifyingLabel *>(QStringLiteral("Label3"));
    QVERIFY(m_label1 && m_label3);
    m_events.watch(m_label1);
    m_events.watch(m_label3);
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
    settle();
    QVERIFY(paints(m_label1) > 0); // the counter sees real paints
    m_events.reset();
}

void TestTick::cleanup()
{
    m_form.reset();
    m_clock.reset();
    m_sound.reset();
}

// Moves the window along no alarm -> armed -> ringing -> snoozed, as a user
// and the Set Alarms window would, all within 7:00 and 7:01.
void TestTick::bringTo(State state)
{
    m_form->Timer1_Timer();
    if (state == State::NoAlarm)
        return;
    auto *check1 = m_form->findChild<NotifyingCheckBox *>(QStringLiteral("Check1"));
    check1->setText(QStringLiteral("7:01 AM"));
    check1->setEnabled(true);
    check1->setValue(1);
    m_form->Timer1_Timer();
    if (state == State::Armed)
        return;
    m_clock->set(QTime(7, 1));
    m_form->Timer1_Timer();
    QVERIFY(m_sound->looping());
    if (state == State::Ringing)
        return;
    QTest::mouseClick(m_form->findChild<QPushButton *>(QStringLiteral("Command3")), Qt::LeftButton);
    QVERIFY(!m_sound->looping());
    m_form->Timer1_Timer();
}

void TestTick::ticksWithinMinuteRepaintNothing_data()
{
    QTest::addColumn<State>("state");
    QTest::addColumn<QString>("status");
    QTest::newRow("no alarm, red alert")
            << State::NoAlarm << "*** ALERT: No Alarm is currently set ***";
    QTest::newRow("armed, empty status") << State::Armed << QString();
    QTest::newRow("ringing") << State::Ringing << "*** Press the SPACE Bar to SNOOOOZE ***";
    QTest::newRow("snoozed") << State::Snoozed << "*** snoooozing *** ";
}

void TestTick::ticksWithinMinuteRepaintNothing()
{
    QFETCH(State, state);
    QFETCH(QString, status);
    bringTo(state);
    if (QTest::currentTestFailed())
        return;
    settle();
    const QString shown = m_label1->text();
    const QColor colour = m_label3->foreColor();
    m_events.reset();

    for (int i = 0; i < 50; ++i) {
        m_clock->advanceSecs(1);
        m_form->Timer1_Timer();
        if (i % 10 == 0)
            settle(); // the real timer keeps ticking meanwhile
    }
    settle();

    QCOMPARE(m_label1->text(), shown);
    QCOMPARE(m_label3->text(), status);
    QCOMPARE(m_label3->foreColor(), colour);
    QCOMPARE(paints(m_label1), 0);
    QCOMPARE(paints(m_label3), 0);
    QCOMPARE(paletteChanges(m_label3), 0);
    QCOMPARE(paletteChanges(m_label1), 0);
}

void TestTick::minuteTurnRepaintsOnlyTheClock()
{
    bringTo(State::NoAlarm);
    settle();
    m_events.reset();

    m_clock->set(QTime(7, 1));
    m_form->Timer1_Timer();
    settle();

    QCOMPARE(m_label1->text(), QStringLiteral("7:01 AM"));
    QVERIFY(paints(m_label1) > 0);
    QCOMPARE(paints(m_label3), 0);
    QCOMPARE(paletteChanges(m_label3), 0);
}

void TestTick::statusChangeSetsPaletteOnlyForNewColour_data()
{
    QTest::addColumn<State>("from");
    QTest::addColumn<State>("to");
    QTest::addColumn<bool>("newColour");
    QTest::newRow("red alert to ringing, black") << State::NoAlarm << State::Ringing << true;
    QTest::newRow("ringing to snoozed, both black") << State::Ringing << State::Snoozed << false;
}

void TestTick::statusChangeSetsPaletteOnlyForNewColour()
{
    QFETCH(State, from);
    QFETCH(State, to);
    QFETCH(bool, newColour);
    bringTo(from);
    if (QTest::currentTestFailed())
        return;
    settle();
    const QColor before = m_label3->foreColor();
    m_events.reset();

    bringTo(to);
    if (QTest::currentTestFailed())
        return;
    settle();

    QVERIFY(paints(m_label3) > 0);
    QCOMPARE(m_label3->foreColor() != before, newColour);
    QCOMPARE(paletteChanges(m_label3) > 0, newColour);
}

QTEST_MAIN(TestTick)
#include "tst_tick.moc"
