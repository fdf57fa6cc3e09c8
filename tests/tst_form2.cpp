// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
// The Set Alarms window and its time fields, met as a user meets them.
#include "set_alarms/Form2.h"
#include "ui/KeyFilterLineEdit.h"
#include "ui/NotifyingCheckBox.h"

#include <QtTest>
#include <QtWidgets>

using namespace Qt::StringLiterals;

namespace {

// What a step of a row does, with the argument it takes. Fields are numbered
// 1 to 4 (hour and minute of alarm 1, then of alarm 2), and so are the boxes
// (AM and PM of alarm 1, then of alarm 2).
enum class Do {
    Type, // `text`, a key for each character, on the control with the focus
    ClickField, // field `n`, then End
    ScreenReaderToggles, // box `n`, through its accessibility action
    Press, // `key` with `modifiers`, `n` times, on the control with the focus
    DeleteAsCharacter, // Delete as some platforms report it: with the character 127
    PasteByCtrlV, // `text` from the clipboard into the field with the focus
    PasteByContextMenu, // likewise, by the field's context menu
    InputMethodCommits, // `text`, in place of the `n` characters before the caret
    Apply, // a click on SET
    CloseBox,
};

struct Step
{
    Do what;
    QString text = {};
    int n = 0;
    Qt::Key key = Qt::Key_unknown;
    Qt::KeyboardModifiers modifiers = {};
};
using Steps = QList<Step>;

const auto type = [](const QString &keys) { return Step{.what = Do::Type, .text = keys}; };
const auto clickField = [](int field) { return Step{.what = Do::ClickField, .n = field}; };
const auto screenReaderToggles
        = [](int box) { return Step{.what = Do::ScreenReaderToggles, .n = box}; };
const auto press = [](Qt::Key key, int times = 1, Qt::KeyboardModifiers modifiers = {}) {
    return Step{.what = Do::Press, .n = times, .key = key, .modifiers = modifiers};
};
const auto pasted = [](Do path, const QString &text) { return Step{.what = path, .text = text}; };
const auto inputMethodReplaces = [](int characters, const QString &text) {
    return Step{.what = Do::InputMethodCommits, .text = text, .n = characters};
};
const Step deleteAsCharacter{.what = Do::DeleteAsCharacter}, apply{.what = Do::Apply},
        closeBox{.what = Do::CloseBox};
const Step selectToStart = press(Qt::Key_Home, 1, Qt::ShiftModifier);

// What a row observes: the four fields' texts, and the field with the focus
// by its designer name.
using Fields = QStringList;
const QString hour1 = u"Text1"_s, minute1 = u"Text2"_s, minute2 = u"Text4"_s;
// The slots' captions.
using Captions = QStringList;

// A Set Alarms window, active, writing into two slots of the test's own.
struct Window
{
    NotifyingCheckBox slot[2];
    QWidget mainWindow;
    QPointer<Form2> form = new Form2(&slot[0], &slot[1], &mainWindow);
    // The clipboard is put back however the row ends.
    const QScopeGuard<std::function<void()>> clipboard{
            [text = QGuiApplication::clipboard()->text()] {
                QGuiApplication::clipboard()->setText(text);
            }};

    Window()
    {
        for (NotifyingCheckBox &s : slot)
            s.setText(u"not set"_s);
    }
    ~Window() { delete form; }
    bool shown()
    {
        form->show();
        QApplication::setActiveWindow(form);
        return QTest::qWaitForWindowActive(form);
    }
    KeyFilterLineEdit *field(int n) const
    {
        return form->findChild<KeyFilterLineEdit *>(u"Text%1"_s.arg(n));
    }
    QPushButton *applyButton() const { return form->findChild<QPushButton *>(u"Command1"_s); }
    Fields fields() const
    {
        return {field(1)->text(), field(2)->text(), field(3)->text(), field(4)->text()};
    }

    bool run(const Steps &steps)
    {
        for (const Step &step : steps) {
            perform(step);
            if (QTest::currentTestFailed())
                return false;
        }
        return true;
    }
    void perform(const Step &step)
    {
        // Every step starts where the window has put the focus.
        QWidget *focus = QApplication::focusWidget();
        QVERIFY2(focus, "a control of the window has the focus");
        switch (step.what) {
        case Do::Type:
            for (const QChar c : step.text)
                QTest::keyClick(QApplication::focusWidget(), c.toLatin1());
            return;
        case Do::ClickField:
            QTest::mouseClick(field(step.n), Qt::LeftButton);
            return QTest::keyClick(QApplication::focusWidget(), Qt::Key_End);
        case Do::ScreenReaderToggles: {
            auto *box = form->findChild<QCheckBox *>(u"Check%1"_s.arg(step.n));
            QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(box);
            QVERIFY(accessible && accessible->actionInterface());
            const QString toggle = QAccessibleActionInterface::toggleAction();
            return accessible->actionInterface()->doAction(toggle);
        }
        case Do::Press:
            for (int i = 0; i < step.n; ++i)
                QTest::keyClick(QApplication::focusWidget(), step.key, step.modifiers);
            return;
        case Do::DeleteAsCharacter:
            QTest::sendKeyEvent(QTest::Press, focus, Qt::Key_Delete, u"\x7f"_s, {});
            return QTest::sendKeyEvent(QTest::Release, focus, Qt::Key_Delete, u"\x7f"_s, {});
        case Do::PasteByCtrlV:
            QGuiApplication::clipboard()->setText(step.text);
            return QTest::keyClick(focus, Qt::Key_V, Qt::ControlModifier);
        case Do::PasteByContextMenu: {
            QGuiApplication::clipboard()->setText(step.text);
            QContextMenuEvent event(QContextMenuEvent::Keyboard, {2, 2},
                                    focus->mapToGlobal(QPoint(2, 2)));
            QApplication::sendEvent(focus, &event);
            QMenu *menu = focus->findChild<QMenu *>();
            QVERIFY(menu);
            // Found by its name where the toolkit gives one, else by its text.
            for (QAction *action : menu->actions())
                if (action->objectName() == u"edit-paste" || action->text().startsWith(u"&Paste"))
                    action->trigger();
            menu->close();
            return;
        }
        case Do::InputMethodCommits: {
            QInputMethodEvent event;
            event.setCommitString(step.text, -step.n, step.n);
            QApplication::sendEvent(focus, &event);
            return;
        }
        case Do::Apply:
            QTest::mouseClick(applyButton(), Qt::LeftButton);
            QTRY_VERIFY(form.isNull());
            return;
        case Do::CloseBox:
            form->close();
            QTRY_VERIFY(form.isNull());
            return;
        }
        QFAIL("a step this test does not know");
    }
};

} // namespace

Q_DECLARE_METATYPE(Step)

class TestForm2 : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The hour and minute rules, and text pasted, composed or typed over a
    // selection, which obeys the key filter and the length limit as typing
    // does.
    void fields_data()
    {
        QTest::addColumn<Steps>("steps");
        QTest::addColumn<Fields>("fields");
        QTest::addColumn<QString>("focus");
        QTest::addColumn<bool>("applies");
        const Fields none{{}, {}, {}, {}};
        QTest::newRow("hour: 12 moves on")
                << Steps{type("12")} << Fields{"12", "", "", ""} << minute1 << false;
        QTest::newRow("hour: 153 is 1:53, the 5 carried into the minute")
                << Steps{type("153")} << Fields{"1", "53", "", ""} << minute1 << true;
        QTest::newRow("hour: 0 is cleared") << Steps{type("0")} << none << hour1 << false;
        QTest::newRow("hour: the 1 of 12 deleted, by a Delete that brings character 127")
                << Steps{type("12"), clickField(1), press(Qt::Key_Home), deleteAsCharacter}
                << Fields{"2", "", "", ""} << minute1 << false;
        QTest::newRow("hour: letters, blank, colon and minus dropped")
                << Steps{type("a 7:-5")} << Fields{"7", "5", "", ""} << minute1 << false;
        QTest::newRow("minute: 59 stays")
                << Steps{clickField(2), type("59")} << Fields{"", "59", "", ""} << minute1 << false;
        QTest::newRow("minute: 60 is emptied")
                << Steps{clickField(2), type("60")} << none << minute1 << false;
        QTest::newRow("minute: the other alarm's minute without its hour")
                << Steps{type("705"), clickField(4), type("30")} << Fields{"7", "05", "", "30"}
                << minute2 << false;
        QTest::newRow("typing over a selection of a full field")
                << Steps{type("705"), clickField(2), selectToStart, type("3")}
                << Fields{"7", "3", "", ""} << minute1 << false;
        // One row for each way in: the first line only, Ctrl+V itself let
        // through, only what fits, letters dropped.
        QTest::newRow("Ctrl+V pastes the first line, filtered")
                << Steps{pasted(Do::PasteByCtrlV, "x7\n8")} << Fields{"7", "", "", ""} << minute1
                << false;
        QTest::newRow("the context menu pastes what fits, filtered")
                << Steps{pasted(Do::PasteByContextMenu, "1a2b3")} << Fields{"12", "", "", ""}
                << minute1 << false;
        // A commit that replaces the characters before the caret of a full
        // field has the room they leave.
        QTest::newRow("an input method's commit over a full minute: filtered, in the room it frees")
                << Steps{type("705"), inputMethodReplaces(2, "4a2")} << Fields{"7", "42", "", ""}
                << minute1 << true;
    }
    void fields()
    {
        QFETCH(Steps, steps);
        QFETCH(Fields, fields);
        QFETCH(QString, focus);
        QFETCH(bool, applies);
        Window w;
        QVERIFY(w.shown());
        QVERIFY(w.run(steps));
        QCOMPARE(w.fields(), fields);
        const QWidget *focused = QApplication::focusWidget();
        QVERIFY(focused);
        QCOMPARE(focused->objectName(), focus);
        QCOMPARE(w.applyButton()->isEnabled(), applies);
    }

    // What SET writes into the slots; the main window is shown again however
    // the window closes.
    void applyAndClose_data()
    {
        QTest::addColumn<Steps>("steps");
        QTest::addColumn<Captions>("captions");
        const QString notSet = u"not set"_s;
        // A box taking the focus clears its partner: Tab onto PM clears AM, and
        // Tab on over alarm 2's AM leaves alarm 1's PM alone.
        QTest::newRow("alarm 1: PM by the keyboard, then Tab over alarm 2's boxes")
                << Steps{type("705"), press(Qt::Key_Tab, 5), press(Qt::Key_Space),
                         press(Qt::Key_Tab, 2), apply}
                << Captions{u"7:05 PM"_s, notSet};
        QTest::newRow("alarm 2: a screen reader's PM beside AM is PM")
                << Steps{clickField(3), type("830"), screenReaderToggles(4), apply}
                << Captions{notSet, u"8:30 PM"_s};
        QTest::newRow("the close box writes nothing")
                << Steps{type("705"), closeBox} << Captions{notSet, notSet};
    }
    void applyAndClose()
    {
        QFETCH(Steps, steps);
        QFETCH(Captions, captions);
        Window w;
        QVERIFY(w.shown());
        QVERIFY(w.run(steps));
        QCOMPARE((Captions{w.slot[0].text(), w.slot[1].text()}), captions);
        QVERIFY(w.mainWindow.isVisible());
    }
};

QTEST_MAIN(TestForm2)
#include "tst_form2.moc"
