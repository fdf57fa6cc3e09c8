// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
// The main window, met as a user meets it.
#include "app/Form1.h"
#include "support/FakeSoundPlatform.h"
#include "support/TestClock.h"

#include <QtTest>
#include <QtWidgets>

using namespace Qt::StringLiterals;

// Stands in for the browser: records the addresses it is asked to open.
class Browser : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> opened;
public Q_SLOTS:
    void open(const QUrl &url) { opened << url; }
};

namespace {

// What a step of a row does, with the argument it takes.
enum class Do {
    TickAt, // a tick at `time` today
    SetAlarm, // the Set Alarms window writes `caption` into slot `slot`
    ClickSlot, // slot `slot`
    SpaceBar, // on the control with the focus
    AnswerBoxesWith, // the message boxes from now on, each answered with `key`
    CloseWindow,
    AboutByKeyboard, // Alt, then Return on the menu bar
    SoundFinds, // the sound layer's checks find `problem` from now on
};

struct Step
{
    Do what;
    QTime time = {};
    int slot = 0;
    QString caption = {};
    Qt::Key key = Qt::Key_unknown;
    SoundProblem problem = SoundProblem::None;
};
using Steps = QList<Step>;

const auto at = [](int hour, int minute) {
    return Step{.what = Do::TickAt, .time = {hour, minute}};
};
const auto setAlarm = [](int slot, const QString &caption) {
    return Step{.what = Do::SetAlarm, .slot = slot, .caption = caption};
};
const auto clickSlot = [](int slot) { return Step{.what = Do::ClickSlot, .slot = slot}; };
const Step spaceBar{.what = Do::SpaceBar}, closeWindow{.what = Do::CloseWindow},
        aboutByKeyboard{.what = Do::AboutByKeyboard};
const auto answerBoxesWith
        = [](Qt::Key key) { return Step{.what = Do::AnswerBoxesWith, .key = key}; };
const auto soundFinds
        = [](SoundProblem problem) { return Step{.what = Do::SoundFinds, .problem = problem}; };

// Slot 1 armed for 7:05 AM at 7:00 and ringing since 7:05.
const Steps ringing{at(7, 0), setAlarm(1, "7:05 AM"), at(7, 4), at(7, 5)};

// What the window shows: the status in its colour, whether Set Alarms and
// the snooze button can be pressed, and whether the alarm sound plays.
struct Shows
{
    QString status = {};
    QColor colour = Qt::black;
    bool setAlarms = false;
    bool snooze = false;
    bool sound = false;
    bool operator==(const Shows &) const = default;
};

char *toString(const Shows &shows)
{
    const QString text = u"\"%1\" in %2, Set Alarms %3, snooze %4, sound %5"_s
                                 .arg(shows.status, shows.colour.name())
                                 .arg(shows.setAlarms)
                                 .arg(shows.snooze)
                                 .arg(shows.sound);
    return qstrdup(qPrintable(text));
}

const QColor red = Qt::red;
const Shows noAlarm{
        .status = u"*** ALERT: No Alarm is currently set ***"_s, .colour = red, .setAlarms = true};
// Armed and quiet: the status empties without a colour of its own.
const Shows armed{.colour = red, .setAlarms = true};
const Shows asksForSpace{
        .status = u"*** Press the SPACE Bar to SNOOOOZE ***"_s, .snooze = true, .sound = true};
const Shows snoozing{.status = u"*** snoooozing *** "_s};
const Shows noAudioModule{
        .status = u"*** NO SOUND: audio module missing ***"_s, .colour = red, .setAlarms = true};
const Shows noAudioOutput{
        .status = u"*** NO SOUND: no audio output found ***"_s, .colour = red, .setAlarms = true};
// The controls that take the focus, by their designer names.
const QString setAlarmsButton = u"Command1"_s, snoozeButton = u"Command3"_s, slot1 = u"Check1"_s,
              theWindow = u"Form1"_s, noControl;

const QString closeQuestion = u"Are you sure you want to close your Vellwake?"_s;
const QString aboutQuestion = u"Vellwake %1.%2\nMade by the Vellwake developers, 2026.\n\n"
                              "Visit our website at %3 ?"_s.arg(VELLWAKE_VERSION_MAJOR)
                                      .arg(VELLWAKE_VERSION_MINOR)
                                      .arg(QStringLiteral(VELLWAKE_WEBSITE));
const QUrl website(QStringLiteral(VELLWAKE_WEBSITE));

// The main window, shown and active, on a clock, a sound device and a
// browser of the test's own, driven through its controls. Its message boxes
// are the program's own, each answered with a key.
struct Rig
{
    FakeSoundPlatform sound;
    TestClock clock;
    Browser browser;
    QStringList asked; // the message boxes' questions
    QTimer answerer;
    // Escape unless a row says otherwise, so that a box no row expects
    // cannot hold the test up.
    Qt::Key answerKey = Qt::Key_Escape;
    // The browser is put back however the row ends.
    const QScopeGuard<std::function<void()>> urlHandler{
            [] { QDesktopServices::unsetUrlHandler(u"https"_s); }};
    Form1 form{clock.clock()};
    QLabel *label3 = form.findChild<QLabel *>(u"Label3"_s);
    QCheckBox *check[2]
            = {form.findChild<QCheckBox *>(u"Check1"_s), form.findChild<QCheckBox *>(u"Check2"_s)};
    QPushButton *command1 = form.findChild<QPushButton *>(u"Command1"_s),
                *command3 = form.findChild<QPushButton *>(u"Command3"_s);

    Rig()
    {
        QDesktopServices::setUrlHandler(u"https"_s, &browser, "open");
        QObject::connect(&answerer, &QTimer::timeout, [this] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                asked << box->text();
                QTest::keyClick(box->focusWidget(), answerKey);
            }
        });
        answerer.start(1);
    }
    bool shown()
    {
        form.show();
        QApplication::setActiveWindow(&form);
        return QTest::qWaitForWindowActive(&form);
    }
    static QString focus()
    {
        const QWidget *focus = QApplication::focusWidget();
        return focus ? focus->objectName() : noControl;
    }
    Shows shows() const
    {
        return {label3->text(), label3->palette().color(QPalette::WindowText),
                command1->isEnabled(), command3->isEnabled(), sound.looping};
    }

    bool run(const Steps &steps)
    {
        for (const Step &step : steps) {
            perform(step);
            // A real message box hands the keyboard back once it has gone.
            if (form.isVisible() && !QTest::qWaitForWindowActive(&form))
                QTest::qFail("the window never got the keyboard back", __FILE__, __LINE__);
            if (QTest::currentTestFailed())
                return false;
        }
        return true;
    }
    void perform(const Step &step)
    {
        QCheckBox *slot = step.slot == 2 ? check[1] : check[0];
        switch (step.what) {
        case Do::TickAt:
            *clock.now = QDateTime(clock.now->date(), step.time);
            return form.Timer1_Timer();
        case Do::SetAlarm:
            slot->setText(step.caption);
            slot->setEnabled(true);
            slot->setChecked(true);
            return;
        case Do::ClickSlot:
            return QTest::mouseClick(slot, Qt::LeftButton, {}, {6, slot->height() / 2});
        case Do::SpaceBar:
            return QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        case Do::AnswerBoxesWith:
            answerKey = step.key;
            return;
        case Do::CloseWindow:
            form.close();
            return;
        case Do::AboutByKeyboard:
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Alt);
            return QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        case Do::SoundFinds:
            sound.problem = step.problem;
            return;
        }
        QFAIL("a step this test does not know");
    }
};

} // namespace

Q_DECLARE_METATYPE(Step)
Q_DECLARE_METATYPE(Shows)

class TestForm1 : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // Ringing, snooze and disarm, as the window shows them and where the
    // focus is.
    void alarmStates_data()
    {
        QTest::addColumn<Steps>("steps");
        QTest::addColumn<Shows>("shows");
        QTest::addColumn<QString>("focus");
        // Both slots armed on the full hour.
        const auto bothArmed = [](int hour, const char *first, const char *second) {
            return Steps{at(hour, 0), setAlarm(1, first), setAlarm(2, second)};
        };
        QTest::newRow("space bar snoozes")
                << ringing + Steps{spaceBar, at(7, 6)} << snoozing << snoozeButton;
        QTest::newRow("disarm by a click: the focus stays on the slot")
                << ringing + Steps{clickSlot(1), at(7, 6)} << noAlarm << slot1;
        QTest::newRow("disarm while snoozing drops the snooze")
                << ringing + Steps{spaceBar, clickSlot(1), at(7, 20)} << noAlarm << slot1;
        QTest::newRow("both due: slot 1 no longer disarms")
                << bothArmed(7, "7:05 AM", "7:05 AM") + Steps{at(7, 5), clickSlot(1), at(7, 6)}
                << asksForSpace << slot1;
        QTest::newRow("the other slot due during a snooze")
                << bothArmed(7, "7:05 AM", "7:10 AM") + Steps{at(7, 5), spaceBar, at(7, 10)}
                << Shows{.status = snoozing.status, .snooze = true, .sound = true} << snoozeButton;
        QTest::newRow("midnight rings the AM slot")
                << bothArmed(0, "12:05 PM", "12:05 AM") + Steps{at(0, 5), clickSlot(1), at(0, 6)}
                << asksForSpace << slot1;
        QTest::newRow("armed during its own minute")
                << Steps{at(7, 5), setAlarm(1, "7:05 AM"), at(7, 5)} << armed << setAlarmsButton;
        // However often the space bar is pressed during a snooze, the alarm
        // comes back 15 minutes later: the disabled snooze button keeps the
        // focus, so no press lands on a slot.
        for (int presses = 1; presses <= 3; ++presses) {
            Steps steps = ringing;
            steps.insert(steps.size(), presses, spaceBar);
            steps += {at(7, 6), at(7, 19), at(7, 20)};
            QTest::addRow("space bar during a snooze, %d presses", presses)
                    << steps << asksForSpace << snoozeButton;
        }
    }
    void alarmStates()
    {
        QFETCH(Steps, steps);
        QFETCH(Shows, shows);
        QFETCH(QString, focus);
        Rig rig;
        QVERIFY(rig.shown());
        QVERIFY(rig.run(steps));
        QCOMPARE(rig.shows(), shows);
        QCOMPARE(rig.focus(), focus);
    }

    // The close question and the About box, each answered by a key, and where
    // the focus is once they are answered: back where the user left it, never
    // on the menu bar, where the next Space would choose About again.
    void closeAndAbout_data()
    {
        QTest::addColumn<Steps>("steps");
        QTest::addColumn<QStringList>("asked");
        QTest::addColumn<QList<QUrl>>("opened");
        QTest::addColumn<bool>("shown");
        QTest::addColumn<QString>("focus");
        using Asked = QStringList;
        using Opened = QList<QUrl>;
        const Steps slotFocused{at(7, 0), setAlarm(1, "7:05 AM"), clickSlot(1)};
        const Steps snoozed = ringing + Steps{spaceBar};
        QTest::newRow("close, Escape keeps the window")
                << ringing + Steps{answerBoxesWith(Qt::Key_Escape), closeWindow}
                << Asked{closeQuestion} << Opened{} << true << snoozeButton;
        QTest::newRow("close, Return ends it")
                << ringing + Steps{answerBoxesWith(Qt::Key_Return), closeWindow}
                << Asked{closeQuestion} << Opened{} << false << noControl;
        QTest::newRow("about from the keyboard, Return: the website, the focus back on the slot")
                << slotFocused + Steps{answerBoxesWith(Qt::Key_Return), aboutByKeyboard}
                << Asked{aboutQuestion} << Opened{website} << true << slot1;
        // The disabled snooze button cannot take the focus back; the window keeps it.
        QTest::newRow("about from the keyboard while snoozing, Escape: Space then does nothing")
                << snoozed + Steps{answerBoxesWith(Qt::Key_Escape), aboutByKeyboard, spaceBar}
                << Asked{aboutQuestion} << Opened{} << true << theWindow;
    }
    void closeAndAbout()
    {
        QFETCH(Steps, steps);
        QFETCH(QStringList, asked);
        QFETCH(QList<QUrl>, opened);
        QFETCH(bool, shown);
        QFETCH(QString, focus);
        Rig rig;
        QVERIFY(rig.shown());
        QVERIFY(rig.run(steps));
        QCOMPARE(rig.asked, asked);
        QCOMPARE(rig.browser.opened, opened);
        QCOMPARE(rig.form.isVisible(), shown);
        QCOMPARE(rig.focus(), focus);
    }

    // An armed alarm that could not be heard says so in red. The window asks
    // the sound layer to look again when a slot is armed and at each minute
    // turn while one is.
    void soundWarning_data()
    {
        QTest::addColumn<Steps>("steps");
        QTest::addColumn<Shows>("shows");
        QTest::addColumn<int>("checks");
        const Step arm = setAlarm(1, "7:05 AM");
        const Step noModule = soundFinds(SoundProblem::NoAudioModule),
                   noOutput = soundFinds(SoundProblem::NoOutputDevice);
        QTest::newRow("nothing armed: the alert, and no check")
                << Steps{at(7, 0), noModule, at(7, 1), at(7, 2), at(7, 3)} << noAlarm << 0;
        QTest::newRow("armed, no audio module")
                << Steps{at(7, 0), noModule, arm, at(7, 1)} << noAudioModule << 2;
        QTest::newRow("armed, no audio output")
                << Steps{at(7, 0), noOutput, arm, at(7, 1)} << noAudioOutput << 2;
        QTest::newRow("each minute turn asks while a slot is armed")
                << Steps{at(7, 0), arm, at(7, 1), at(7, 2), at(7, 3), at(7, 4)} << armed << 5;
    }
    void soundWarning()
    {
        QFETCH(Steps, steps);
        QFETCH(Shows, shows);
        QFETCH(int, checks);
        Rig rig;
        QVERIFY(rig.shown());
        QVERIFY(rig.run(steps));
        QCOMPARE(rig.shows(), shows);
        QCOMPARE(rig.sound.checks, checks);
    }

    // The clock reads the same in every language, as the alarm captions do:
    // here in one whose own clock differs from it, in the morning and after
    // noon.
    void clockText()
    {
        // The language is put back however the test ends.
        const auto restore = qScopeGuard([saved = QLocale()] { QLocale::setDefault(saved); });
        QLocale::setDefault(QLocale(QLocale::Arabic, QLocale::Egypt));
        Rig rig;
        const QLabel *label1 = rig.form.findChild<QLabel *>(u"Label1"_s);
        QVERIFY(rig.shown());
        QVERIFY(rig.run({at(7, 5)}));
        QCOMPARE(label1->text(), u"7:05 AM"_s);
        QVERIFY(rig.run({at(13, 9)}));
        QCOMPARE(label1->text(), u"1:09 PM"_s);
    }
};

QTEST_MAIN(TestForm1)
#include "tst_form1.moc"
