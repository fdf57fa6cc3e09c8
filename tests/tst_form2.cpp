// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
// The Set Alarms window and its time fields, and the focus promise of the widget layer.
#include "set_alarms/Form2.h"
#include "ui/KeepsFocus.h"
#include "ui/KeyFilterLineEdit.h"
#include "ui/NotifyingCheckBox.h"

#include <QtTest>
#include <QtWidgets>

#include <array>
#include <random>

using namespace Qt::StringLiterals;

namespace {

bool activate(QWidget *window)
{
    return window->show(), QApplication::setActiveWindow(window),
           QTest::qWaitForWindowActive(window);
}

// A Set Alarms window, active, writing into two slots of the test's own.
struct Window
{
    NotifyingCheckBox slot[2];
    QWidget mainWindow;
    QPointer<Form2> form = new Form2(&slot[0], &slot[1], &mainWindow);

    Window()
    {
        for (NotifyingCheckBox &s : slot)
            s.setText(u"not set"_s), s.setEnabled(false);
        QVERIFY(activate(form));
    }
    ~Window() { delete form; }
    auto field(int n) const { return form->findChild<KeyFilterLineEdit *>(u"Text%1"_s.arg(n)); }
    QCheckBox *box(int n) const { return form->findChild<QCheckBox *>(u"Check%1"_s.arg(n)); }
    QPushButton *apply() const { return form->findChild<QPushButton *>(u"Command1"_s); }

    // Characters are typed into the focus widget; "^1" to "^4" click a field
    // and put the caret at its end; "^a" "^p" "^A" "^P" click the AM and PM
    // boxes of alarm 1 and 2; "^<" is Backspace, "^h" Home, "^S" Shift+Home, "^d" Delete, "^t"
    // Tab; "^s" applies, "^x"
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
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_End);
            } else if (const qsizetype b = QByteArray("apAP").indexOf(command); b >= 0) {
                QTest::mouseClick(box(int(b) + 1), Qt::LeftButton, {}, {6, box(1)->height() / 2});
            } else if (command == 'S') {
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Home, Qt::ShiftModifier);
            } else if (const qsizetype k = QByteArray("<hdt").indexOf(command); k >= 0) {
                QTest::keyClick(QApplication::focusWidget(),
                                std::array{Qt::Key_Backspace, Qt::Key_Home, Qt::Key_Delete,
                                           Qt::Key_Tab}[k]);
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
                focus->findChild<QMenu *>()->close();
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
        QString boxes;
        for (int n = 1; n <= 4; ++n)
            state << field(n)->text(), boxes += box(n)->isChecked() ? u'1' : u'0';
        const auto *focus = qobject_cast<QLineEdit *>(QApplication::focusWidget());
        return u"%1 focus=%2@%3 boxes=%4 apply=%5"_s
                .arg(state.join(u','), focus ? focus->objectName() : u"other"_s)
                .arg(focus ? focus->cursorPosition() : -1)
                .arg(boxes)
                .arg(apply()->isEnabled());
    }
};

} // namespace

class TestForm2 : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The time fields' hour and minute rules, the apply and the close, and
    // text pasted or composed into a field, which obeys the key filter and the
    // length limit as typing does.
    void fields_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("expected");
        // clang-format off
        QTest::newRow("hour: opening state") << u""_s << u",,, focus=Text1@0 boxes=1010 apply=0"_s;
        QTest::newRow("hour: 7 moves on") << u"7"_s << u"7,,, focus=Text2@0 boxes=1010 apply=0"_s;
        QTest::newRow("hour: 1 waits") << u"1"_s << u"1,,, focus=Text1@1 boxes=1010 apply=0"_s;
        QTest::newRow("hour: 12 moves on") << u"12"_s << u"12,,, focus=Text2@0 boxes=1010 apply=0"_s;
        QTest::newRow("hour: 15 carries the 5") << u"15"_s << u"1,5,, focus=Text2@1 boxes=1010 apply=0"_s;
        QTest::newRow("hour: 153 is 1:53") << u"153"_s << u"1,53,, focus=Text2@2 boxes=1010 apply=1"_s;
        QTest::newRow("hour: a carry replaces the minute") << u"^245^115"_s << u"1,5,, focus=Text2@1 boxes=1010 apply=0"_s;
        QTest::newRow("hour: 0 is cleared") << u"0"_s << u",,, focus=Text1@0 boxes=1010 apply=0"_s;
        QTest::newRow("hour: 5 before the 1") << u"1^h5"_s << u"1,1,, focus=Text2@1 boxes=1010 apply=0"_s;
        QTest::newRow("hour: 1 of 12 deleted") << u"12^1^h^d"_s << u"2,,, focus=Text2@0 boxes=1010 apply=0"_s;
        QTest::newRow("hour: 2 of 12 deleted") << u"12^1^<"_s << u"1,,, focus=Text1@1 boxes=1010 apply=0"_s;
        QTest::newRow("hour: 1 of 10 deleted") << u"10^1^h^d"_s << u",,, focus=Text1@0 boxes=1010 apply=0"_s;
        QTest::newRow("hour: a full hour refuses") << u"7^17"_s << u"7,,, focus=Text1@1 boxes=1010 apply=0"_s;
        QTest::newRow("hour: letters, blank, colon, minus dropped") << u"a 7:-5"_s << u"7,5,, focus=Text2@1 boxes=1010 apply=0"_s;
        QTest::newRow("hour: alarm 2 alike") << u"^3153"_s << u",,1,53 focus=Text4@2 boxes=1010 apply=1"_s;
        QTest::newRow("minute: 6 stays") << u"^26"_s << u",6,, focus=Text2@1 boxes=1010 apply=0"_s;
        QTest::newRow("minute: 60 is emptied") << u"^260"_s << u",,, focus=Text2@0 boxes=1010 apply=0"_s;
        QTest::newRow("minute: 59 stays") << u"^259"_s << u",59,, focus=Text2@2 boxes=1010 apply=0"_s;
        QTest::newRow("minute: 7:00 complete") << u"700"_s << u"7,00,, focus=Text2@2 boxes=1010 apply=1"_s;
        QTest::newRow("minute: one digit incomplete") << u"77"_s << u"7,7,, focus=Text2@1 boxes=1010 apply=0"_s;
        QTest::newRow("minute: hour 1 is complete") << u"1^205"_s << u"1,05,, focus=Text2@2 boxes=1010 apply=1"_s;
        QTest::newRow("minute: minute without hour") << u"^230^3745"_s << u",30,7,45 focus=Text4@2 boxes=1010 apply=0"_s;
        QTest::newRow("minute: other alarm half-filled") << u"930^34"_s << u"9,30,4, focus=Text4@0 boxes=1010 apply=0"_s;
        QTest::newRow("minute: then completed") << u"930^3415"_s << u"9,30,4,15 focus=Text4@2 boxes=1010 apply=1"_s;
        QTest::newRow("minute: a minute emptied") << u"705^3830^2^<^<"_s << u"7,,8,30 focus=Text2@0 boxes=1010 apply=0"_s;
        QTest::newRow("apply: no box touched is AM") << u"705^s"_s << u"7:05 AM+e,not set-d shown"_s;
        QTest::newRow("apply: PM for alarm 1") << u"^p^11159^s"_s << u"11:59 PM+e,not set-d shown"_s;
        QTest::newRow("apply: PM for alarm 2") << u"^P^31230^s"_s << u"not set-d,12:30 PM+e shown"_s;
        QTest::newRow("apply: both boxes unchecked is AM") << u"^a^1705^s"_s << u"7:05 AM+e,not set-d shown"_s;
        QTest::newRow("apply: tabbed onto PM is AM") << u"705^t^t^t^t^t^s"_s << u"7:05 AM+e,not set-d shown"_s;
        QTest::newRow("apply: empty hour keeps the slot") << u"^3830^s"_s << u"not set-d,8:30 AM+e shown"_s;
        QTest::newRow("apply: close box changes nothing") << u"705^x"_s << u"not set-d,not set-d shown"_s;
        for (const char *path : {"v", "m", "i"}) {
            const QString paste = u'^' + QLatin1String(path);
            QTest::addRow("paste: %s: digits and letters", path) << paste + u"1a2b3"_s << u"12,,, focus=Text2@0 boxes=1010 apply=0"_s;
            QTest::addRow("paste: %s: a letter first", path) << paste + u"x7"_s << u"7,,, focus=Text2@0 boxes=1010 apply=0"_s;
            QTest::addRow("paste: %s: over a selection", path) << u"705^2^S"_s + paste + u"42"_s << u"7,42,, focus=Text2@2 boxes=1010 apply=1"_s;
        }
        for (const char *path : {"v", "m"})
            QTest::addRow("paste: %s: the first line only", path) << u'^' + QLatin1String(path) + u"7\n8"_s << u"7,,, focus=Text2@0 boxes=1010 apply=0"_s;
        QTest::newRow("typing over a selection of a full field") << u"705^2^S3"_s << u"7,3,, focus=Text2@1 boxes=1010 apply=0"_s;
        // clang-format on
    }
    void fields()
    {
        QFETCH(QString, script);
        QFETCH(QString, expected);
        Window w;
        w.type(script);
        QCOMPARE(w.observed(), expected);
    }

    // Random keys, clicks and pastes; the fields always hold what the rules allow.
    void fuzz()
    {
        Window w;
        std::mt19937 random(20260302);
        const QStringList steps
                = u"0 1 2 3 4 5 6 7 8 9 0 1 2 3 4 5 6 7 8 9 a : ^1 ^2 ^3 ^4 ^< ^h ^d ^v1a ^v75 ^v0 ^v9"_s
                          .split(u' ');
        for (int step = 0; step < 1500; ++step) {
            w.type(steps.at(random() % steps.size()));
            QString h[2], m[2];
            bool ok = true;
            for (int a : {0, 1}) {
                h[a] = w.field(2 * a + 1)->text(), m[a] = w.field(2 * a + 2)->text();
                ok &= h[a].size() <= w.field(2 * a + 1)->maxLength() && m[a].size() <= 2;
                ok &= (h[a] + m[a]).contains(QRegularExpression(u"^[0-9]*$"_s))
                        && (m[a].size() < 2 || m[a].toInt() <= 59);
                ok &= h[a].isEmpty() || (h[a].at(0) != u'0' && h[a].toInt() <= 12);
            }
            const auto complete = [&](int a) { return !h[a].isEmpty() && m[a].size() == 2; };
            const auto empty = [&](int a) { return (h[a] + m[a]).isEmpty(); };
            ok &= w.apply()->isEnabled()
                    == ((complete(0) && (complete(1) || empty(1))) || (empty(0) && complete(1)));
            QVERIFY2(ok, qPrintable(w.observed()));
        }
    }

    // A check box notifies every change of its value, the program's own
    // writes included, and only a change.
    void checkBoxNotifiesEveryChange()
    {
        NotifyingCheckBox box;
        QSignalSpy changes(&box, &NotifyingCheckBox::valueChanged);
        box.setValue(1), box.setValue(1), box.setValue(0);
        QCOMPARE(changes.count(), 2);
    }

    // A control disabled while it has the focus keeps it: Space, Return and
    // Enter then press nothing, and Tab still moves on.
    void disabledControlKeepsFocus_data()
    {
        QTest::addColumn<int>("control");
        for (int control : {0, 1, 2})
            QTest::newRow(std::array{"field", "check box", "push button"}[control]) << control;
    }
    void disabledControlKeepsFocus()
    {
        QFETCH(int, control);
        QWidget window;
        auto *layout = new QVBoxLayout(&window);
        auto *after = new QCheckBox;
        QWidget *controls[]
                = {new KeyFilterLineEdit, new NotifyingCheckBox, new CommandButton, after};
        for (QWidget *w : controls)
            layout->addWidget(w);
        QVERIFY(activate(&window));
        controls[control]->setFocus();
        controls[control]->setEnabled(false);
        QVERIFY(!QApplication::focusWidget() || QApplication::focusWidget() == controls[control]);
        for (Qt::Key key : {Qt::Key_Space, Qt::Key_Return, Qt::Key_Enter})
            QTest::keyClick(QApplication::focusWidget(), key);
        QVERIFY(!after->isChecked());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), controls[control + 1]);
    }
};

QTEST_MAIN(TestForm2)
#include "tst_form2.moc"
