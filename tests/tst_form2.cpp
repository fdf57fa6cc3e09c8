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
#include <QTest>
#include <QVBoxLayout>

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

// A Set Alarms window writing into two slots of the test's own.
struct Window
{
    NotifyingCheckBox slot[2];
    QWidget mainWindow;
    QPointer<Form2> form = new Form2(&slot[0], &slot[1], &mainWindow);

    Window()
    {
        for (NotifyingCheckBox &s : slot) {
            s.setText(u"not set"_s);
            s.setEnabled(false);
        }
    }
    ~Window() { delete form; }
    KeyFilterLineEdit *field(int n) const
    {
        return form->findChild<KeyFilterLineEdit *>(u"Text%1"_s.arg(n));
    }
    QCheckBox *box(int n) const { return form->findChild<QCheckBox *>(u"Check%1"_s.arg(n)); }
    QPushButton *apply() const { return form->findChild<QPushButton *>(u"Command1"_s); }

    // Characters are typed into the focus widget; "^1" to "^4" click a field
    // and put the caret at its end, "^a" "^p" "^A" "^P" click the AM and PM
    // boxes of alarm 1 and 2, "^<" is Backspace, "^h" Home, "^d" Delete, "^t" Tab.
    void type(const QString &script) const
    {
        for (qsizetype i = 0; i < script.size(); ++i) {
            const char c = script.at(i).toLatin1();
            const char command = c == '^' ? script.at(++i).toLatin1() : 0;
            if (!command) {
                QTest::keyClick(QApplication::focusWidget(), c);
            } else if (command >= '1' && command <= '4') {
                QTest::mouseClick(field(command - '0'), Qt::LeftButton);
                press(Qt::Key_End);
            } else if (const qsizetype b = QByteArray("apAP").indexOf(command); b >= 0) {
                QTest::mouseClick(box(int(b) + 1), Qt::LeftButton, {}, {6, box(1)->height() / 2});
            } else {
                press(command == '<'           ? Qt::Key_Backspace
                              : command == 'h' ? Qt::Key_Home
                              : command == 'd' ? Qt::Key_Delete
                                               : Qt::Key_Tab);
            }
        }
    }
    QString observed() const
    {
        QStringList texts;
        QString maxLengths, boxes;
        for (int n = 1; n <= 4; ++n) {
            texts << field(n)->text();
            maxLengths += QString::number(field(n)->maxLength());
            boxes += box(n)->isChecked() ? u'1' : u'0';
        }
        const auto *focus = qobject_cast<QLineEdit *>(QApplication::focusWidget());
        return u"%1 max=%2 focus=%3@%4 boxes=%5 apply=%6"_s.arg(texts.join(u','), maxLengths)
                .arg(focus ? focus->objectName() : u"other"_s)
                .arg(focus ? focus->cursorPosition() : -1)
                .arg(boxes)
                .arg(apply()->isEnabled());
    }
    QString slotState() const
    {
        QStringList state;
        for (const NotifyingCheckBox &s : slot)
            state << s.text() + (s.isChecked() ? u'+' : u'-') + (s.isEnabled() ? u'e' : u'd');
        return state.join(u',');
    }
};

} // namespace

class TestForm2 : public QObject
{
    Q_OBJECT

    void typed()
    {
        QFETCH(QString, script);
        QFETCH(QString, expected);
        Window w;
        QVERIFY(activate(w.form));
        w.type(script);
        QCOMPARE(w.observed(), expected);
    }

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

    void hourRules_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("expected");
        QTest::newRow("opening state")
                << u""_s << u",,, max=2222 focus=Text1@0 boxes=1010 apply=0"_s;
        QTest::newRow("7 moves on")
                << u"7"_s << u"7,,, max=1222 focus=Text2@0 boxes=1010 apply=0"_s;
        QTest::newRow("1 waits") << u"1"_s << u"1,,, max=2222 focus=Text1@1 boxes=1010 apply=0"_s;
        QTest::newRow("12 moves on")
                << u"12"_s << u"12,,, max=2222 focus=Text2@0 boxes=1010 apply=0"_s;
        QTest::newRow("15 carries the 5")
                << u"15"_s << u"1,5,, max=2222 focus=Text2@1 boxes=1010 apply=0"_s;
        QTest::newRow("153 is 1:53")
                << u"153"_s << u"1,53,, max=2222 focus=Text2@2 boxes=1010 apply=1"_s;
        QTest::newRow("a carry replaces the minute")
                << u"^245^115"_s << u"1,5,, max=2222 focus=Text2@1 boxes=1010 apply=0"_s;
        QTest::newRow("0 is cleared")
                << u"0"_s << u",,, max=1222 focus=Text1@0 boxes=1010 apply=0"_s;
        QTest::newRow("5 before the 1")
                << u"1^h5"_s << u"1,1,, max=2222 focus=Text2@1 boxes=1010 apply=0"_s;
        QTest::newRow("1 of 12 deleted")
                << u"12^1^h^d"_s << u"2,,, max=1222 focus=Text2@0 boxes=1010 apply=0"_s;
        QTest::newRow("2 of 12 deleted")
                << u"12^1^<"_s << u"1,,, max=2222 focus=Text1@1 boxes=1010 apply=0"_s;
        QTest::newRow("1 of 10 deleted")
                << u"10^1^h^d"_s << u",,, max=1222 focus=Text1@0 boxes=1010 apply=0"_s;
        QTest::newRow("a full hour refuses")
                << u"7^17"_s << u"7,,, max=1222 focus=Text1@1 boxes=1010 apply=0"_s;
        QTest::newRow("letters, blank, colon, minus dropped")
                << u"a 7:-5"_s << u"7,5,, max=1222 focus=Text2@1 boxes=1010 apply=0"_s;
        QTest::newRow("alarm 2 alike")
                << u"^3153"_s << u",,1,53 max=2222 focus=Text4@2 boxes=1010 apply=1"_s;
    }
    void hourRules() { typed(); }

    void minuteRules_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("expected");
        QTest::newRow("6 stays") << u"^26"_s << u",6,, max=2222 focus=Text2@1 boxes=1010 apply=0"_s;
        QTest::newRow("60 is emptied")
                << u"^260"_s << u",,, max=2222 focus=Text2@0 boxes=1010 apply=0"_s;
        QTest::newRow("59 stays") << u"^259"_s
                                  << u",59,, max=2222 focus=Text2@2 boxes=1010 apply=0"_s;
        QTest::newRow("7:00 complete")
                << u"700"_s << u"7,00,, max=1222 focus=Text2@2 boxes=1010 apply=1"_s;
        QTest::newRow("one digit incomplete")
                << u"77"_s << u"7,7,, max=1222 focus=Text2@1 boxes=1010 apply=0"_s;
        QTest::newRow("hour 1 is complete")
                << u"1^205"_s << u"1,05,, max=2222 focus=Text2@2 boxes=1010 apply=1"_s;
        QTest::newRow("minute without hour")
                << u"^230^3745"_s << u",30,7,45 max=2212 focus=Text4@2 boxes=1010 apply=0"_s;
        QTest::newRow("other alarm half-filled")
                << u"930^34"_s << u"9,30,4, max=1212 focus=Text4@0 boxes=1010 apply=0"_s;
        QTest::newRow("then completed")
                << u"930^3415"_s << u"9,30,4,15 max=1212 focus=Text4@2 boxes=1010 apply=1"_s;
        QTest::newRow("a minute emptied")
                << u"705^3830^2^<^<"_s << u"7,,8,30 max=1212 focus=Text2@0 boxes=1010 apply=0"_s;
    }
    void minuteRules() { typed(); }

    void apply_data()
    {
        QTest::addColumn<QString>("before"); // slot 1's caption and check state
        QTest::addColumn<QString>("script");
        QTest::addColumn<bool>("closeBox");
        QTest::addColumn<QString>("expected");
        QTest::newRow("no box touched is AM")
                << u""_s << u"705"_s << false << u"7:05 AM+e,not set-d"_s;
        QTest::newRow("PM for alarm 1")
                << u""_s << u"^p^11159"_s << false << u"11:59 PM+e,not set-d"_s;
        QTest::newRow("PM for alarm 2")
                << u""_s << u"^P^31230"_s << false << u"not set-d,12:30 PM+e"_s;
        QTest::newRow("both boxes unchecked is AM")
                << u""_s << u"^a^1705"_s << false << u"7:05 AM+e,not set-d"_s;
        QTest::newRow("tabbed onto PM is AM")
                << u""_s << u"705^t^t^t^t^t"_s << false << u"7:05 AM+e,not set-d"_s;
        QTest::newRow("empty hour keeps the slot")
                << u"6:00 AM-"_s << u"^3830"_s << false << u"6:00 AM-e,8:30 AM+e"_s;
        QTest::newRow("same time stays armed")
                << u"7:05 AM+"_s << u"705"_s << false << u"7:05 AM+e,not set-d"_s;
        QTest::newRow("close box changes nothing")
                << u"6:00 AM-"_s << u"705"_s << true << u"6:00 AM-e,not set-d"_s;
    }
    void apply()
    {
        QFETCH(QString, before);
        QFETCH(QString, script);
        QFETCH(bool, closeBox);
        QFETCH(QString, expected);
        Window w;
        if (!before.isEmpty()) {
            w.slot[0].setText(before.chopped(1));
            w.slot[0].setEnabled(true);
            w.slot[0].setChecked(before.endsWith(u'+'));
        }
        QVERIFY(activate(w.form));
        w.type(script);
        if (closeBox)
            w.form->close();
        else
            QTest::mouseClick(w.apply(), Qt::LeftButton);
        QTRY_VERIFY(w.form.isNull());
        QVERIFY(w.mainWindow.isVisible());
        QCOMPARE(w.slotState(), expected);
    }

    // Pasted and composed text obeys the key filter and the length limit as typing does.
    void inputPaths_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("hour"); // what typing the same keys leaves there
        for (const char *path : {"Ctrl+V", "menu", "input method"}) {
            QTest::addRow("%s, digits and letters", path)
                    << QString::fromLatin1(path) << u"1a2b3"_s << u"12"_s;
            QTest::addRow("%s, a letter first", path)
                    << QString::fromLatin1(path) << u"x7"_s << u"7"_s;
        }
    }
    void inputPaths()
    {
        QFETCH(QString, path);
        QFETCH(QString, text);
        QFETCH(QString, hour);
        Window w;
        QVERIFY(activate(w.form));
        KeyFilterLineEdit *field = w.field(1);
        QGuiApplication::clipboard()->setText(text);
        if (path == u"Ctrl+V") {
            QTest::keyClick(field, Qt::Key_V, Qt::ControlModifier);
        } else if (path == u"menu") {
            QContextMenuEvent event(QContextMenuEvent::Keyboard, {2, 2},
                                    field->mapToGlobal(QPoint(2, 2)));
            QApplication::sendEvent(field, &event);
            QMenu *menu = field->findChild<QMenu *>();
            QVERIFY(menu);
            // Found by its name where the toolkit gives one, else by its text.
            for (QAction *action : menu->actions())
                if (action->objectName() == u"edit-paste" || action->text().startsWith(u"&Paste"))
                    action->trigger();
            menu->close();
        } else {
            QInputMethodEvent event;
            event.setCommitString(text);
            QApplication::sendEvent(field, &event);
        }
        for (int n = 1; n <= 4; ++n) {
            QVERIFY2(w.field(n)->text().contains(QRegularExpression(u"^[0-9]*$"_s)),
                     qPrintable(w.observed()));
            QVERIFY2(w.field(n)->text().size() <= w.field(n)->maxLength(),
                     qPrintable(w.observed()));
        }
        QCOMPARE(field->text(), hour);
    }

    // Random keys, clicks and pastes; the fields always hold what the rules allow.
    void fuzz()
    {
        Window w;
        QVERIFY(activate(w.form));
        std::mt19937 random(20260302);
        const QString keys = u"0123456789a :"_s;
        for (int step = 0; step < 1500; ++step) {
            QString paste;
            switch (const unsigned r = random() % 16) {
            case 0:
                w.type(u"^%1"_s.arg(1 + random() % 4));
                break;
            case 1:
                w.type(QStringList{u"^<"_s, u"^h"_s, u"^d"_s}.at(random() % 3));
                break;
            case 2:
                for (unsigned n = 1 + random() % 3; n > 0; --n)
                    paste += keys.at(random() % 11);
                QGuiApplication::clipboard()->setText(paste);
                press(Qt::Key_V, Qt::ControlModifier);
                break;
            default:
                w.type(keys.at(r < 13 ? random() % 10 : random() % keys.size()));
            }
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
            QVERIFY2(ok, qPrintable(w.observed()));
            QCOMPARE(w.apply()->isEnabled(),
                     (complete[0] && (complete[1] || empty[1])) || (empty[0] && complete[1]));
        }
    }

    // The promised notifications, and the limit of a field whatever way text comes in.
    void widgetContract_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("expected");
        QTest::newRow("label: a new text notifies")
                << u"L7:05;L7:06"_s << u"changed changed edit="_s;
        QTest::newRow("label: the same text is silent") << u"L7:05;L7:05"_s << u"changed edit="_s;
        QTest::newRow("box: program writes notify") << u"V1;V1;V0"_s << u"value value edit="_s;
        QTest::newRow("box: a click focuses, then toggles") << u"C"_s << u"focus value edit="_s;
        QTest::newRow("field: typing stops at the limit") << u"M2;T123"_s << u"edit=12"_s;
        QTest::newRow("field: a paste is cut to the limit") << u"M2;P12345"_s << u"edit=12"_s;
        QTest::newRow("field: a lower limit keeps the text") << u"M3;T123;M1;T4"_s << u"edit=123"_s;
    }
    void widgetContract()
    {
        QFETCH(QString, script);
        QFETCH(QString, expected);
        QWidget window;
        auto *layout = new QVBoxLayout(&window);
        auto *label = new NotifyingLabel;
        auto *box = new NotifyingCheckBox;
        auto *edit = new KeyFilterLineEdit;
        for (QWidget *w : std::initializer_list<QWidget *>{label, edit, box})
            layout->addWidget(w);
        box->setText(u"box"_s);
        QStringList log;
        connect(label, &NotifyingLabel::changed, [&] { log << u"changed"_s; });
        connect(box, &NotifyingCheckBox::gotFocus, [&] { log << u"focus"_s; });
        connect(box, &NotifyingCheckBox::valueChanged, [&] { log << u"value"_s; });
        QVERIFY(activate(&window));
        for (const QString &step : script.split(u';')) {
            const QString arg = step.mid(1);
            switch (step.at(0).toLatin1()) {
            case 'L':
                label->setText(arg);
                break;
            case 'V':
                box->setValue(arg.toInt());
                break;
            case 'C':
                QTest::mouseClick(box, Qt::LeftButton, {}, {6, box->height() / 2});
                break;
            case 'M':
                edit->setMaxLength(arg.toInt());
                break;
            case 'T':
                QTest::keyClicks(edit, arg);
                break;
            case 'P':
                QGuiApplication::clipboard()->setText(arg);
                QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
                break;
            }
        }
        log << u"edit="_s + edit->text();
        QCOMPARE(log.join(u' '), expected);
    }

    // A control that is disabled while it has the focus keeps it: nothing
    // else is pressed by the next key, and Tab still moves on.
    void disabledControlKeepsFocus_data()
    {
        QTest::addColumn<QString>("kind");
        for (const char *kind : {"push button", "check box", "line edit"})
            QTest::newRow(kind) << QString::fromLatin1(kind);
    }
    void disabledControlKeepsFocus()
    {
        QFETCH(QString, kind);
        QWidget window;
        auto *layout = new QVBoxLayout(&window);
        QAbstractButton *button = nullptr;
        if (kind == u"push button")
            button = new QPushButton(u"button"_s);
        else if (kind == u"check box")
            button = new QCheckBox(u"box"_s);
        QWidget *control = button ? static_cast<QWidget *>(button) : new KeyFilterLineEdit;
        auto *after = new QCheckBox(u"after"_s);
        layout->addWidget(control);
        layout->addWidget(after);
        int clicks = 0;
        if (button)
            connect(button, &QAbstractButton::clicked, [&] { ++clicks; });
        QVERIFY(activate(&window));
        control->setFocus();
        QCOMPARE(QApplication::focusWidget(), control);
        control->setEnabled(false);
        const QWidget *focus = QApplication::focusWidget();
        QVERIFY2(!focus || focus == control, focus ? focus->metaObject()->className() : "");
        for (Qt::Key key : {Qt::Key_Space, Qt::Key_Return, Qt::Key_Enter})
            press(key);
        QCOMPARE(clicks, 0);
        QVERIFY(!after->isChecked() && !(button && button->isChecked()));
        press(Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), after);
    }
};

QTEST_MAIN(TestForm2)
#include "tst_form2.moc"
