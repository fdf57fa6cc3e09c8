// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#include "app/ClockText.h"
#include "app/Form1.h"
#include "support/FakeSoundPlatform.h"
#include "support/TestClock.h"
#include "tst_timefields_helpers.h"

#include <QRegularExpression>
#include <QtTest>

#include <random>

using namespace Qt::StringLiterals;

// Random typing, deleting, caret moves, focus changes and pastes over the four
// fields of the real window; after every step the fields must be in a shape
// the rules allow, and whatever the apply writes must ring at its minute.
// VELLWAKE_FUZZ_SEED picks another seed; a failure names seed and sequence.
class TestTimeFieldsFuzz : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { dropPlatformRaiseWarnings(); }
    void randomEditing();
};

namespace {

constexpr int sequences = 1000;
constexpr int stepsPerSequence = 100;

const QStringList clips = {u"1"_s, u"12"_s,   u"7"_s,   u"59"_s, u"99"_s, u"05"_s, u"0"_s,
                           u"a"_s, u"7:30"_s, u"123"_s, u"60"_s, u" 5"_s, u"1x"_s};
const QString junk = u"aZ :-x/."_s;

struct Field
{
    QString text;
    int maxLength;
    bool full() const { return text.size() == maxLength; }
};

// The rules' promises, written from their description rather than the code.
QString brokenPromise(QWidget *form2)
{
    static const QRegularExpression hourShape(u"^([1-9]|1[0-2])?$"_s);
    static const QRegularExpression minuteShape(u"^([0-9]|[0-5][0-9])?$"_s);
    Field f[5];
    for (int n = 1; n <= 4; ++n)
        f[n] = {textField(form2, n)->text(), textField(form2, n)->maxLength()};
    bool complete[3], empty[3];
    for (int alarm : {1, 2}) {
        const Field &hour = f[alarm * 2 - 1], &minute = f[alarm * 2];
        if (!hourShape.match(hour.text).hasMatch())
            return u"hour of alarm %1 is \"%2\""_s.arg(alarm).arg(hour.text);
        if (!minuteShape.match(minute.text).hasMatch())
            return u"minute of alarm %1 is \"%2\""_s.arg(alarm).arg(minute.text);
        const bool untouched = hour.text.isEmpty() && hour.maxLength == 2;
        if (hour.maxLength != (hour.text.startsWith(u'1') ? 2 : 1) && !untouched)
            return u"hour \"%1\" with maximum length %2"_s.arg(hour.text).arg(hour.maxLength);
        if (minute.maxLength != 2)
            return u"minute maximum length %1"_s.arg(minute.maxLength);
        complete[alarm] = minute.full() && (hour.full() || hour.text == u"1");
        empty[alarm] = hour.text.isEmpty() && minute.text.isEmpty();
        if (complete[alarm] && (hour.text.isEmpty() || minute.text.size() != 2))
            return u"alarm %1 complete as \"%2\":\"%3\""_s.arg(alarm).arg(hour.text, minute.text);
    }
    const bool enabled = (complete[1] && (complete[2] || empty[2])) || (empty[1] && complete[2]);
    if (applyButton(form2)->isEnabled() != enabled)
        return u"apply button %1"_s.arg(enabled ? u"disabled"_s : u"enabled"_s);
    return {};
}

// The time an alarm's entries stand for, read from the fields and boxes.
QTime enteredTime(QWidget *form2, int alarm)
{
    const int hour = textField(form2, alarm * 2 - 1)->text().toInt();
    const int minute = textField(form2, alarm * 2)->text().toInt();
    const bool pm = choiceBox(form2, alarm * 2)->value() == 1;
    return QTime(hour % 12 + (pm ? 12 : 0), minute);
}

QString randomStep(std::mt19937 &rng, QWidget *form2)
{
    auto pick = [&rng](int n) { return int(std::uniform_int_distribution<int>(0, n - 1)(rng)); };
    const int roll = pick(100);
    if (roll < 40) {
        const char digit = char('0' + pick(10));
        QTest::keyClick(QApplication::focusWidget(), digit);
        return QString(QLatin1Char(digit));
    }
    if (roll < 48) {
        QChar c = junk.at(pick(int(junk.size())));
        // Space would press the focused apply button and end the sequence.
        if (!qobject_cast<QLineEdit *>(QApplication::focusWidget()))
            c = u'x';
        QTest::keyClick(QApplication::focusWidget(), c.toLatin1());
        return u"'%1'"_s.arg(c);
    }
    if (roll < 72) {
        static const std::pair<Qt::Key, const char *> keys[] = {
                {Qt::Key_Backspace, "Backspace"},
                {Qt::Key_Backspace, "Backspace"},
                {Qt::Key_Delete, "Delete"},
                {Qt::Key_Left, "Left"},
                {Qt::Key_Right, "Right"},
                {Qt::Key_Home, "Home"},
                {Qt::Key_End, "End"},
                {Qt::Key_Tab, "Tab"},
        };
        const auto &[key, name] = keys[pick(8)];
        pressKey(key);
        return QString::fromLatin1(name);
    }
    if (roll < 86) {
        QLineEdit *field = textField(form2, 1 + pick(4));
        field->repaint();
        const int x = pick(2) ? field->width() - 2 : 1 + pick(field->width() - 2);
        QTest::mouseClick(field, Qt::LeftButton, {}, QPoint(x, field->height() / 2));
        return u"click %1 at %2"_s.arg(field->objectName()).arg(x);
    }
    if (roll < 94) {
        const QString clip = clips.at(pick(int(clips.size())));
        QGuiApplication::clipboard()->setText(clip);
        pressKey(Qt::Key_V, Qt::ControlModifier);
        return u"paste \"%1\""_s.arg(clip);
    }
    if (roll < 96) {
        pressKey(Qt::Key_A, Qt::ControlModifier);
        return u"Ctrl+A"_s;
    }
    if (roll < 97) {
        pressKey(Qt::Key_Z, Qt::ControlModifier);
        return u"Ctrl+Z"_s;
    }
    QCheckBox *box = choiceBox(form2, 1 + pick(4));
    clickBox(box);
    return u"click %1"_s.arg(box->objectName());
}

} // namespace

void TestTimeFieldsFuzz::randomEditing()
{
    const QByteArray fromEnv = qgetenv("VELLWAKE_FUZZ_SEED");
    const quint32 seed = fromEnv.isEmpty() ? 20260302u : fromEnv.toUInt();
    qInfo("fuzz seed %u", seed);

    FakeSoundPlatform sound;
    TestClock clock(QDateTime(QDate(2026, 3, 2), QTime(12, 0)));
    Form1 form1(clock.clock());
    NotifyingCheckBox *slots[] = {form1.findChild<NotifyingCheckBox *>(u"Check1"_s),
                                  form1.findChild<NotifyingCheckBox *>(u"Check2"_s)};
    auto *setAlarms = form1.findChild<QPushButton *>(u"Command1"_s);
    int applied = 0;

    for (int sequence = 0; sequence < sequences; ++sequence) {
        std::mt19937 rng(seed + quint32(sequence));
        QVERIFY(activate(&form1));
        QTest::mouseClick(setAlarms, Qt::LeftButton);
        QPointer<QWidget> form2;
        for (QWidget *w : QApplication::topLevelWidgets())
            if (w->objectName() == u"Form2" && w->isVisible())
                form2 = w;
        QVERIFY(form2 && activate(form2));

        QStringList steps;
        auto fail = [&](const QString &what) {
            return u"%1 after seed %2, sequence %3, steps: %4"_s.arg(what)
                    .arg(seed)
                    .arg(sequence)
                    .arg(steps.join(u", "));
        };
        for (int i = 0; i < stepsPerSequence; ++i) {
            steps << randomStep(rng, form2);
            if (!QApplication::focusWidget() || QApplication::focusWidget()->window() != form2)
                QFAIL(qPrintable(fail(u"the focus left the window"_s)));
            const QString broken = brokenPromise(form2);
            if (!broken.isEmpty())
                QFAIL(qPrintable(fail(broken)));
        }

        if (!applyButton(form2)->isEnabled()) {
            delete form2;
            continue;
        }
        // Apply, then each written alarm must ring at its own minute.
        QList<std::pair<int, QTime>> written;
        for (int alarm : {1, 2})
            if (!textField(form2, alarm * 2 - 1)->text().isEmpty())
                written.append({alarm, enteredTime(form2, alarm)});
        QTest::mouseClick(applyButton(form2), Qt::LeftButton);
        QTRY_VERIFY(form2.isNull());
        ++applied;
        for (const auto &[alarm, time] : written) {
            NotifyingCheckBox *slot = slots[alarm - 1];
            if (slot->text() != clockText(time))
                QFAIL(qPrintable(fail(u"slot %1 holds \"%2\""_s.arg(alarm).arg(slot->text()))));
            slots[2 - alarm]->setValue(0);
            slot->setValue(1);
            clock.set(time.addSecs(-60));
            form1.Timer1_Timer();
            clock.set(time);
            form1.Timer1_Timer();
            if (!sound.looping() || form1.ringingAlarm != QString::number(alarm))
                QFAIL(qPrintable(
                        fail(u"slot %1 did not ring at %2"_s.arg(alarm).arg(slot->text()))));
            slot->setValue(0); // disarm
            QVERIFY(!sound.looping());
        }
    }
    qInfo("%d of %d sequences applied", applied, sequences);
    // The sequences must reach the apply often enough to mean something.
    QVERIFY2(applied > sequences / 10, qPrintable(QString::number(applied)));
}

QTEST_MAIN(TestTimeFieldsFuzz)
#include "tst_timefields_fuzz.moc"
