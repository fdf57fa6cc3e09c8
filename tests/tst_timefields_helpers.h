// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#pragma once

// Drives a Set Alarms window the way a user does: real focus, real caret,
// keys sent to whatever has the focus, clicks on the controls themselves.

#include "set_alarms/Form2.h"
#include "ui/KeyFilterLineEdit.h"
#include "ui/NotifyingCheckBox.h"

#include <QApplication>
#include <QClipboard>
#include <QPointer>
#include <QPushButton>
#include <QTest>

// The headless platform warns at every raise of a tool window; the warning
// says nothing about the program and would crowd out the test's own messages.
inline void dropPlatformRaiseWarnings()
{
    static QtMessageHandler previous = nullptr;
    previous = qInstallMessageHandler(
            [](QtMsgType type, const QMessageLogContext &context, const QString &message) {
                if (message != u"This plugin does not support raise()")
                    previous(type, context, message);
            });
}

inline KeyFilterLineEdit *textField(QWidget *form, int n)
{
    return form->findChild<KeyFilterLineEdit *>(QStringLiteral("Text%1").arg(n));
}

inline NotifyingCheckBox *choiceBox(QWidget *form, int n)
{
    return form->findChild<NotifyingCheckBox *>(QStringLiteral("Check%1").arg(n));
}

inline QPushButton *applyButton(QWidget *form)
{
    return form->findChild<QPushButton *>(QStringLiteral("Command1"));
}

inline bool activate(QWidget *window)
{
    window->show();
    QApplication::setActiveWindow(window);
    return QTest::qWaitForWindowExposed(window) && QTest::qWaitForWindowActive(window);
}

// A click near the right edge puts the caret behind the text in either alignment.
inline void clickField(QLineEdit *field)
{
    // The caret lands where the text was last drawn, as on a real screen.
    field->repaint();
    QTest::mouseClick(field, Qt::LeftButton, {}, QPoint(field->width() - 2, field->height() / 2));
}

inline void clickBox(QCheckBox *box)
{
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
}

inline void pressKey(Qt::Key key, Qt::KeyboardModifiers mods = {})
{
    QTest::keyClick(QApplication::focusWidget(), key, mods);
}

// Plays a script on one alarm's controls of the window `form`. Characters are
// typed into whatever has the focus; '^' starts a command:
//   ^h ^m  click the alarm's hour or minute field   ^a ^p  click its AM or PM box
//   ^B Backspace  ^D Delete  ^H Home  ^E End  ^L Left  ^R Right
//   ^V Ctrl+V  ^A Ctrl+A  ^Z Ctrl+Z  ^T Tab  ^S Space
inline void play(QWidget *form, int alarm, QStringView script)
{
    const int hour = alarm * 2 - 1;
    for (qsizetype i = 0; i < script.size(); ++i) {
        const QChar c = script.at(i);
        if (c != u'^' || i + 1 == script.size()) {
            QTest::keyClick(QApplication::focusWidget(), char(c.toLatin1()));
            continue;
        }
        switch (script.at(++i).toLatin1()) {
        case 'h':
            clickField(textField(form, hour));
            break;
        case 'm':
            clickField(textField(form, hour + 1));
            break;
        case 'a':
            clickBox(choiceBox(form, hour));
            break;
        case 'p':
            clickBox(choiceBox(form, hour + 1));
            break;
        case 'B':
            pressKey(Qt::Key_Backspace);
            break;
        case 'D':
            pressKey(Qt::Key_Delete);
            break;
        case 'H':
            pressKey(Qt::Key_Home);
            break;
        case 'E':
            pressKey(Qt::Key_End);
            break;
        case 'L':
            pressKey(Qt::Key_Left);
            break;
        case 'R':
            pressKey(Qt::Key_Right);
            break;
        case 'V':
            pressKey(Qt::Key_V, Qt::ControlModifier);
            break;
        case 'A':
            pressKey(Qt::Key_A, Qt::ControlModifier);
            break;
        case 'Z':
            pressKey(Qt::Key_Z, Qt::ControlModifier);
            break;
        case 'T':
            pressKey(Qt::Key_Tab);
            break;
        case 'S':
            pressKey(Qt::Key_Space);
            break;
        default:
            qFatal("unknown script command");
        }
    }
}

// A Set Alarms window of its own, writing into two stand-alone slots.
class Form2Fixture
{
public:
    Form2Fixture()
        : form(new Form2(&slot1, &slot2, &mainWindow))
    {
        slot1.setText(QStringLiteral("not set"));
        slot2.setText(QStringLiteral("not set"));
        slot1.setEnabled(false);
        slot2.setEnabled(false);
    }
    ~Form2Fixture() { delete form; }
    Form2Fixture(const Form2Fixture &) = delete;
    Form2Fixture &operator=(const Form2Fixture &) = delete;

    KeyFilterLineEdit *text(int n) const { return textField(form, n); }
    NotifyingCheckBox *check(int n) const { return choiceBox(form, n); }

    NotifyingCheckBox slot1;
    NotifyingCheckBox slot2;
    QWidget mainWindow;
    QPointer<Form2> form;
};
