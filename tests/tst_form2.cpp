// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
// The Set Alarms window and its time fields, and the widget layer under both windows.
#include "set_alarms/Form2.h"
#include "ui/KeyFilterLineEdit.h"
#include "ui/NotifyingCheckBox.h"
#include "ui/NotifyingLabel.h"

#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QVBoxLayout>

#include <array>
#include <random>

using namespace Qt::StringLiterals;

namespace {

bool activate(QWidget *window)
{
    window->show();
    QApplication::setActiveWindow(window);
    return QTest::qWaitForWindowActive(window);
}

void press(Qt::Key key, Qt::KeyboardModifiers modifiers = {})
{
    QTest::keyClick(QApplication::focusWidget(), key, modifiers);
}

// A Set Alarms window, active, writing into two slots of the test's own.
struct Window
{
    NotifyingCheckBox slot[2];
    QWidget mainWindow;
    QPointer<Form2> form = new Form2(&slot[0], &slot[1], &mainWindow);

    Window()
    {
        slot[0].setText(u"not set"_s);
        slot[1].setText(u"not set"_s);
        QVERIFY(activate(form));
    }
    ~Window() { delete form; }
    KeyFilterLineEdit *field(int n) const
    {
        return form->findChild<KeyFilterLineEdit *>(u"Text%1"_s.arg(n));
    }
    QCheckBox *box(int n) const { return form->findChild<QCheckBox *>(u"Check%1"_s.arg(n)); }
    QPushButton *apply() const { return form->findChild<QPushButton *>(u"Command1"_s); }

    // Characters are typed into the focus widget; "^1" to "^4" click a field
    // and put the caret at its end; "^a" "^p" "^A" "^P" click the AM and PM
    // boxes of alarm 1 and 2; "^<" is Backspace, "^h" Home, "^d" Delete, "^t"
    // Tab; "^k" writes 6:00 AM, disarmed, into slot 1; "^s" applies, "^x"
    // closes; "^v", "^m" and "^i" give the rest of the script to the focus
    // field by Ctrl+V, by its context menu's Paste and by an input method.
    void type(const QString &script)
    {
        for (qsizetype i = 0; i < script.size(); ++i) {
            const char c = script.at(i).toLatin1(),
                       command = c == '^' ? script.at(++i).toLatin1() : 0;
            const QString rest = script.mid(i + 1);
            auto *focus = qobject_cast<KeyFilterLineEdit *>(QApplication::focusWidget());
            if (!command) {
                QTest::keyClick(QApplication::focusWidget(), c);
            } else if (command >= '1' && command <= '4') {
                QTest::mouseClick(field(command - '0'), Qt::LeftButton);
                press(Qt::Key_End);
            } else if (const qsizetype b = QByteArray("apAP").indexOf(command); b >= 0) {
                QTest::mouseClick(box(int(b) + 1), Qt::LeftButton, {}, {6, box(1)->height() / 2});
            } else if (const qsizetype k = QByteArray("<hdt").indexOf(command); k >= 0) {
                press(std::array{Qt::Key_Backspace, Qt::Key_Home, Qt::Key_Delete, Qt::Key_Tab}[k]);
            } else if (command == 'k') {
                slot[0].setText(u"6:00 AM"_s);
                slot[0].setEnabled(true);
            } else if (command == 's' || command == 'x') {
                command == 's' ? QTest::mouseClick(apply(), Qt::LeftButton) : void(form->close());
                QTRY_VERIFY(form.isNull());
            } else if (QGuiApplication::clipboard()->setText(rest); command == 'v') {
                QTest::keyClick(focus, Qt::Key_V, Qt::ControlModifier);
                return;
            } else if (command == 'm') {
                QContextMenuEvent event(QContextMenuEvent::Keyboard, {2, 2},
                                        focus->mapToGlobal(QPoint(2, 2)));
                QApplication::sendEvent(focus, &event);
                QMenu *menu = focus->findChild<QMenu *>();
                // Found by its name where the toolkit gives one, else by its text.
                for (QAction *action : menu->actions())
                    if (action->objectName() == u"edit-paste"
                        || action->text().startsWith(u"&Paste"))
                        action->trigger();
                menu->close();
                return;
            } else {
                QInputMethodEvent event;
                event.setCommitString(rest);
                QApplication::sendEvent(focus, &event);
                return;
            }
        }
    }
    // The fields, or once the window has closed, the slots and the main window.
    QString observed() const
    {
        QStringList state;
        if (!form) {
            for (const NotifyingCheckBox &s : slot)
                state << s.text() + (s.isChecked() ? u'+' : u'-') + (s.isEnabled() ? u'e' : u'd');
            return state.join(u',') + (mainWindow.isVisible() ? u" shown"_s : u" hidden"_s);
        }
        QString maxLengths, boxes;
        for (int n = 1; n <= 4; ++n) {
            state << field(n)->text();
            maxLengths += QString::number(field(n)->maxLength());
            boxes += box(n)->isChecked() ? u'1' : u'0';
        }
        const auto *focus = qobject_cast<QLineEdit *>(QApplication::focusWidget());
        return u"%1 max=%2 focus=%3@%4 boxes=%5 apply=%6"_s.arg(state.join(u','), maxLengths)
                .arg(focus ? focus->objectName() : u"other"_s)
                .arg(focus ? focus->cursorPosition() : -1)
                .arg(boxes)
                .arg(apply()->isEnabled());
    }
};

} // namespace

class TestForm2 : public QObject
{
    Q_OBJECT

    static void typed()
    {
        QFETCH(QString, script);
        QFETCH(QString, expected);
        Window w;
        w.type(script);
        QCOMPARE(w.observed(), expected);
    }
    static void columns()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("expected");
    }

private Q_SLOTS:
    void hourRules_data()
    {
        columns();
        // clang-format off
        QTest::newRow("opening state") << u""_s << u",,, max=2222 focus=Text1@0 boxes=1010 apply=0"_s;
        QTest::newRow("7 moves on") << u"7"_s << u"7,,, max=1222 focus=Text2@0 boxes=1010 apply=0"_s;
        QTest::newRow("1 waits") << u"1"_s << u"1,,, max=2222 focus=Text1@1 boxes=1010 apply=0"_s;
        QTest::newRow("12 moves on") << u"12"_s << u"12,,, max=2222 focus=Text2@0 boxes=1010 apply=0"_s;
        QTest::newRow("15 carries the 5") << u"15"_s << u"1,5,, max=2222 focus=Text2@1 boxes=1010 apply=0"_s;
        QTest::newRow("153 is 1:53") << u"153"_s << u"1,53,, max=2222 focus=Text2@2 boxes=1010 apply=1"_s;
        QTest::newRow("a carry replaces the minute") << u"^245^115"_s << u"1,5,, max=2222 focus=Text2@1 boxes=1010 apply=0"_s;
        QTest::newRow("0 is cleared") << u"0"_s << u",,, max=1222 focus=Text1@0 boxes=1010 apply=0"_s;
        QTest::newRow("5 before the 1") << u"1^h5"_s << u"1,1,, max=2222 focus=Text2@1 boxes=1010 apply=0"_s;
        QTest::newRow("1 of 12 deleted") << u"12^1^h^d"_s << u"2,,, max=1222 focus=Text2@0 boxes=1010 apply=0"_s;
        QTest::newRow("2 of 12 deleted") << u"12^1^<"_s << u"1,,, max=2222 focus=Text1@1 boxes=1010 apply=0"_s;
        QTest::newRow("1 of 10 deleted") << u"10^1^h^d"_s << u",,, max=1222 focus=Text1@0 boxes=1010 apply=0"_s;
        QTest::newRow("a full hour refuses") << u"7^17"_s << u"7,,, max=1222 focus=Text1@1 boxes=1010 apply=0"_s;
        QTest::newRow("letters, blank, colon, minus dropped") << u"a 7:-5"_s << u"7,5,, max=1222 focus=Text2@1 boxes=1010 apply=0"_s;
        QTest::newRow("alarm 2 alike") << u"^3153"_s << u",,1,53 max=2222 focus=Text4@2 boxes=1010 apply=1"_s;
        // clang-format on
    }
    void hourRules() { typed(); }

    void minuteRules_data()
    {
        columns();
        // clang-format off
        QTest::newRow("6 stays") << u"^26"_s << u",6,, max=2222 focus=Text2@1 boxes=1010 apply=0"_s;
        QTest::newRow("60 is emptied") << u"^260"_s << u",,, max=2222 focus=Text2@0 boxes=1010 apply=0"_s;
        QTest::newRow("59 stays") << u"^259"_s << u",59,, max=2222 focus=Text2@2 boxes=1010 apply=0"_s;
        QTest::newRow("7:00 complete") << u"700"_s << u"7,00,, max=1222 focus=Text2@2 boxes=1010 apply=1"_s;
        QTest::newRow("one digit incomplete") << u"77"_s << u"7,7,, max=1222 focus=Text2@1 boxes=1010 apply=0"_s;
        QTest::newRow("hour 1 is complete") << u"1^205"_s << u"1,05,, max=2222 focus=Text2@2 boxes=1010 apply=1"_s;
        QTest::newRow("minute without hour") << u"^230^3745"_s << u",30,7,45 max=2212 focus=Text4@2 boxes=1010 apply=0"_s;
        QTest::newRow("other alarm half-filled") << u"930^34"_s << u"9,30,4, max=1212 focus=Text4@0 boxes=1010 apply=0"_s;
        QTest::newRow("then completed") << u"930^3415"_s << u"9,30,4,15 max=1212 focus=Text4@2 boxes=1010 apply=1"_s;
        QTest::newRow("a minute emptied") << u"705^3830^2^<^<"_s << u"7,,8,30 max=1212 focus=Text2@0 boxes=1010 apply=0"_s;
        // clang-format on
    }
    void minuteRules() { typed(); }

    // Each apply and close writes the slots it was handed and shows the main window.
    void apply_data()
    {
        columns();
        // clang-format off
        QTest::newRow("no box touched is AM") << u"705^s"_s << u"7:05 AM+e,not set-d shown"_s;
        QTest::newRow("PM for alarm 1") << u"^p^11159^s"_s << u"11:59 PM+e,not set-d shown"_s;
        QTest::newRow("PM for alarm 2") << u"^P^31230^s"_s << u"not set-d,12:30 PM+e shown"_s;
        QTest::newRow("both boxes unchecked is AM") << u"^a^1705^s"_s << u"7:05 AM+e,not set-d shown"_s;
        QTest::newRow("tabbed onto PM is AM") << u"705^t^t^t^t^t^s"_s << u"7:05 AM+e,not set-d shown"_s;
        QTest::newRow("empty hour keeps the slot") << u"^k^3830^s"_s << u"6:00 AM-e,8:30 AM+e shown"_s;
        QTest::newRow("close box changes nothing") << u"^k705^x"_s << u"6:00 AM-e,not set-d shown"_s;
        // clang-format on
    }
    void apply() { typed(); }

    // Pasted and composed text obeys the key filter and the length limit as typing does.
    void inputPaths_data()
    {
        columns();
        // clang-format off
        for (const char *path : {"v", "m", "i"}) {
            QTest::addRow("%s: digits and letters", path) << u"^%11a2b3"_s.arg(QLatin1String(path)) << u"12,,, max=2222 focus=Text2@0 boxes=1010 apply=0"_s;
            QTest::addRow("%s: a letter first", path) << u"^%1x7"_s.arg(QLatin1String(path)) << u"7,,, max=1222 focus=Text2@0 boxes=1010 apply=0"_s;
        }
        // clang-format on
    }
    void inputPaths() { typed(); }

    // Random keys, clicks and pastes; the fields always hold what the rules allow.
    void fuzz()
    {
        Window w;
        std::mt19937 random(20260302);
        const QString keys = u"0123456789a :"_s, commands = u"1234<hdv"_s;
        for (int step = 0; step < 1500; ++step) {
            QString script
                    = random() % 4 ? QString() : u"^"_s + commands.at(random() % commands.size());
            for (unsigned n = script.endsWith(u'v') ? 1 + random() % 3
                         : !script.isEmpty()        ? 0
                                                    : 1;
                 n > 0; --n)
                script += keys.at(random() % 5 ? random() % 10 : random() % keys.size());
            w.type(script);
            bool complete[2], empty[2], ok = true;
            for (int a = 0; a < 2; ++a) {
                const KeyFilterLineEdit *hour = w.field(2 * a + 1), *minute = w.field(2 * a + 2);
                const QString h = hour->text(), m = minute->text();
                ok &= h.size() <= hour->maxLength() && m.size() <= minute->maxLength();
                ok &= (h + m).contains(QRegularExpression(u"^[0-9]*$"_s));
                ok &= h.isEmpty() || (h.at(0) != u'0' && h.toInt() <= 12);
                ok &= m.size() < 2 || m.toInt() <= 59;
                complete[a] = !h.isEmpty() && m.size() == 2;
                empty[a] = h.isEmpty() && m.isEmpty();
            }
            QVERIFY2(ok, qPrintable(script + u" -> "_s + w.observed()));
            QCOMPARE(w.apply()->isEnabled(),
                     (complete[0] && (complete[1] || empty[1])) || (empty[0] && complete[1]));
        }
    }

    // The widget layer's promises. "L" writes the label, "V" the box's value,
    // "C" clicks the box, "M" sets the field's limit, "T" types and "P" pastes
    // into it, "F" focuses and then disables a control, "K" presses Space,
    // Return and Enter on the focus widget and then Tab.
    void widgets_data()
    {
        columns();
        // clang-format off
        QTest::newRow("label: only a real change notifies") << u"L7:05 L7:05 L7:06"_s << u"changed changed"_s;
        QTest::newRow("box: program writes notify") << u"V1 V1 V0"_s << u"value value"_s;
        QTest::newRow("box: a click focuses, then toggles") << u"C"_s << u"focus value"_s;
        QTest::newRow("field: typing stops at the limit") << u"M2 T123"_s << u"edit=12"_s;
        QTest::newRow("field: a paste is cut to the limit") << u"M2 P12345"_s << u"edit=12"_s;
        QTest::newRow("field: a lower limit keeps the text") << u"M3 T123 M1 T4"_s << u"edit=123 edit=123"_s;
        QTest::newRow("disabled field keeps the focus") << u"Fedit K"_s << u"kept focus tab=box"_s;
        QTest::newRow("disabled check box keeps the focus") << u"Fbox K"_s << u"focus kept tab=button"_s;
        QTest::newRow("disabled push button keeps the focus") << u"Fbutton K"_s << u"kept tab=after"_s;
        // clang-format on
    }
    void widgets()
    {
        QFETCH(QString, script);
        QFETCH(QString, expected);
        QWidget window;
        auto *layout = new QVBoxLayout(&window);
        auto *label = new NotifyingLabel;
        auto *edit = new KeyFilterLineEdit;
        auto *box = new NotifyingCheckBox;
        auto *button = new QPushButton(u"button"_s);
        auto *after = new QCheckBox(u"after"_s);
        for (QWidget *w : std::initializer_list<QWidget *>{label, edit, box, button, after})
            layout->addWidget(w);
        edit->setObjectName(u"edit"_s);
        box->setObjectName(u"box"_s);
        button->setObjectName(u"button"_s);
        after->setObjectName(u"after"_s);
        QStringList log;
        connect(label, &NotifyingLabel::changed, [&] { log << u"changed"_s; });
        connect(box, &NotifyingCheckBox::gotFocus, [&] { log << u"focus"_s; });
        connect(box, &NotifyingCheckBox::valueChanged, [&] { log << u"value"_s; });
        connect(button, &QPushButton::clicked, [&] { log << u"clicked"_s; });
        connect(after, &QCheckBox::toggled, [&] { log << u"after"_s; });
        QVERIFY(activate(&window));
        const auto focusName = [] {
            return QApplication::focusWidget() ? QApplication::focusWidget()->objectName()
                                               : u"none"_s;
        };
        for (const QString &step : script.split(u' ')) {
            const QString arg = step.mid(1);
            if (step.startsWith(u'L')) {
                label->setText(arg);
            } else if (step.startsWith(u'V')) {
                box->setValue(arg.toInt());
            } else if (step.startsWith(u'C')) {
                QTest::mouseClick(box, Qt::LeftButton, {}, {6, box->height() / 2});
            } else if (step.startsWith(u'M')) {
                edit->setMaxLength(arg.toInt());
            } else if (step.startsWith(u'T') || step.startsWith(u'P')) {
                QGuiApplication::clipboard()->setText(arg);
                step.startsWith(u'T') ? QTest::keyClicks(edit, arg)
                                      : QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
                log << u"edit="_s + edit->text();
            } else if (step.startsWith(u'F')) {
                QWidget *control = window.findChild<QWidget *>(arg);
                control->setFocus();
                control->setEnabled(false);
                log << (QApplication::focusWidget() && QApplication::focusWidget() != control
                                ? u"lost="_s + focusName()
                                : u"kept"_s);
            } else {
                for (Qt::Key key : {Qt::Key_Space, Qt::Key_Return, Qt::Key_Enter, Qt::Key_Tab})
                    press(key);
                log << u"tab="_s + focusName();
            }
        }
        QCOMPARE(log.join(u' '), expected);
    }
};

QTEST_MAIN(TestForm2)
#include "tst_form2.moc"
