// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#include "ui/KeyFilterLineEdit.h"
#include "ui/NotifyingCheckBox.h"
#include "ui/NotifyingLabel.h"

#include <QApplication>
#include <QClipboard>
#include <QSignalSpy>
#include <QTest>

class TestWidgets : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void labelNotifiesOnlyRealChanges_data();
    void labelNotifiesOnlyRealChanges();
    void labelNotifiesInsideTheWrite();
    void labelColourWriteIsFreeWhenUnchanged();

    void checkBoxNotifiesEveryValueChange();
    void checkBoxClickGivesFocusBeforeToggling();
    void checkBoxSpaceTogglesFocusedBox();

    void maxLengthTyped_data();
    void maxLengthTyped();
    void maxLengthPasted_data();
    void maxLengthPasted();
    void loweringMaxLengthKeepsText();
    void keyHookSeesCharactersBeforeTheBox_data();
    void keyHookSeesCharactersBeforeTheBox();
    void changeNotificationFollowsProgramWrites();
};

void TestWidgets::labelNotifiesOnlyRealChanges_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::addColumn<int>("notifications");
    QTest::newRow("same text again") << "7:05 AM"
                                     << "7:05 AM" << 1;
    QTest::newRow("new minute") << "7:05 AM"
                                << "7:06 AM" << 2;
    QTest::newRow("case matters") << "7:05 AM"
                                  << "7:05 am" << 2;
    QTest::newRow("back to empty") << "7:05 AM"
                                   << "" << 2;
    QTest::newRow("empty onto empty") << ""
                                      << "" << 0;
}

void TestWidgets::labelNotifiesOnlyRealChanges()
{
    QFETCH(QString, first);
    QFETCH(QString, second);
    QFETCH(int, notifications);
    NotifyingLabel label;
    QSignalSpy spy(&label, &NotifyingLabel::changed);
    label.setText(first);
    label.setText(second);
    QCOMPARE(spy.count(), notifications);
    QCOMPARE(label.text(), second);
}

void TestWidgets::labelNotifiesInsideTheWrite()
{
    NotifyingLabel label;
    QString seen;
    bool returned = false;
    connect(&label, &NotifyingLabel::changed, this, [&] {
        QVERIFY(!returned);
        seen = label.text();
    });
    label.setText(QStringLiteral("12:00 PM"));
    returned = true;
    QCOMPARE(seen, QStringLiteral("12:00 PM"));
}

void TestWidgets::labelColourWriteIsFreeWhenUnchanged()
{
    NotifyingLabel label;
    int paletteChanges = 0;
    struct Counter : QObject
    {
        int *n;
        explicit Counter(int *n)
            : n(n)
        {
        }
        bool eventFilter(QObject *, QEvent *e) override
        {
            if (e->type() == QEvent::PaletteChange)
                ++*n;
            return false;
        }
    } counter(&paletteChanges);
    label.installEventFilter(&counter);
    label.setForeColor(Qt::red);
    label.setForeColor(Qt::red);
    label.setForeColor(QColor(255, 0, 0));
    QCOMPARE(paletteChanges, 1);
    QCOMPARE(label.palette().color(QPalette::WindowText), QColor(255, 0, 0));
    label.setForeColor(Qt::black);
    QCOMPARE(paletteChanges, 2);
}

void TestWidgets::checkBoxNotifiesEveryValueChange()
{
    NotifyingCheckBox box;
    QSignalSpy spy(&box, &NotifyingCheckBox::valueChanged);
    box.setValue(1);
    QCOMPARE(box.value(), 1);
    box.setValue(1); // no change, no notification
    box.setValue(0);
    QCOMPARE(spy.count(), 2);
    box.show();
    QTest::mouseClick(&box, Qt::LeftButton);
    QCOMPARE(box.value(), 1);
    QCOMPARE(spy.count(), 3);
}

void TestWidgets::checkBoxClickGivesFocusBeforeToggling()
{
    QWidget window;
    auto *other = new QLineEdit(&window);
    auto *box = new NotifyingCheckBox(&window);
    box->move(0, 40);
    window.show();
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitForWindowActive(&window));
    other->setFocus();
    QStringList order;
    connect(box, &NotifyingCheckBox::gotFocus, this, [&] { order << "focus"; });
    connect(box, &NotifyingCheckBox::valueChanged, this, [&] { order << "value"; });
    QTest::mouseClick(box, Qt::LeftButton);
    QCOMPARE(order, QStringList({"focus", "value"}));
    // A click on the box that already has the focus only toggles it.
    QTest::mouseClick(box, Qt::LeftButton);
    QCOMPARE(order, QStringList({"focus", "value", "value"}));
    QCOMPARE(box->value(), 0);
}

void TestWidgets::checkBoxSpaceTogglesFocusedBox()
{
    NotifyingCheckBox box;
    box.show();
    QApplication::setActiveWindow(&box);
    QVERIFY(QTest::qWaitForWindowActive(&box));
    box.setFocus();
    QTest::keyClick(&box, Qt::Key_Space);
    QCOMPARE(box.value(), 1);
}

void TestWidgets::maxLengthTyped_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<int>("maxLength");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("expected");
    QTest::newRow("third character refused") << "" << 2 << "123"
                                             << "12";
    QTest::newRow("one allowed") << "" << 1 << "98"
                                 << "9";
    QTest::newRow("full box refuses") << "12" << 2 << "3"
                                      << "12";
    QTest::newRow("longer than limit refuses") << "123" << 1 << "4"
                                               << "123";
    QTest::newRow("room left") << "1" << 2 << "25"
                               << "12";
}

void TestWidgets::maxLengthTyped()
{
    QFETCH(QString, start);
    QFETCH(int, maxLength);
    QFETCH(QString, typed);
    QFETCH(QString, expected);
    KeyFilterLineEdit edit;
    edit.setText(start);
    edit.setMaxLength(maxLength);
    edit.show();
    QTest::keyClicks(&edit, typed);
    QCOMPARE(edit.text(), expected);
}

void TestWidgets::maxLengthPasted_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<bool>("selectAll");
    QTest::addColumn<QString>("clipboard");
    QTest::addColumn<QString>("expected");
    QTest::newRow("cut to fit") << "" << false << "12345"
                                << "12";
    QTest::newRow("fits") << "1" << false << "5"
                          << "15";
    QTest::newRow("nothing fits") << "12" << false << "3"
                                  << "12";
    QTest::newRow("selection is removed first") << "12" << true << "345"
                                                << "34";
    QTest::newRow("first line only") << "" << false << "7\n8"
                                     << "7";
}

void TestWidgets::maxLengthPasted()
{
    QFETCH(QString, start);
    QFETCH(bool, selectAll);
    QFETCH(QString, clipboard);
    QFETCH(QString, expected);
    KeyFilterLineEdit edit;
    edit.setMaxLength(2);
    edit.setText(start);
    edit.show();
    if (selectAll)
        edit.selectAll();
    QGuiApplication::clipboard()->setText(clipboard);
    QTest::keyClick(&edit, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(edit.text(), expected);
    // Shift+Insert pastes through the same limit.
    edit.clear();
    if (selectAll)
        edit.setText(start), edit.selectAll();
    else
        edit.setText(start);
    QTest::keyClick(&edit, Qt::Key_Insert, Qt::ShiftModifier);
    QCOMPARE(edit.text(), expected);
}

void TestWidgets::loweringMaxLengthKeepsText()
{
    KeyFilterLineEdit edit;
    edit.setMaxLength(2);
    edit.show();
    QTest::keyClicks(&edit, "12");
    QSignalSpy changes(&edit, &QLineEdit::textChanged);
    edit.setMaxLength(1);
    QCOMPARE(edit.text(), QStringLiteral("12"));
    QCOMPARE(changes.count(), 0);
    QCOMPARE(edit.maxLength(), 1);
    QTest::keyClick(&edit, Qt::Key_Backspace);
    QCOMPARE(edit.text(), QStringLiteral("1"));
    // Now at the lower limit, the box is full.
    QTest::keyClick(&edit, '5');
    QCOMPARE(edit.text(), QStringLiteral("1"));
}

void TestWidgets::keyHookSeesCharactersBeforeTheBox_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QString>("start");
    QTest::addColumn<QList<int>>("seen");
    QTest::addColumn<QString>("expected");
    QTest::newRow("letter dropped") << int(Qt::Key_A) << 0 << "1" << QList<int>{'a'} << "1";
    QTest::newRow("digit kept") << int(Qt::Key_7) << 0 << "1" << QList<int>{'7'} << "17";
    QTest::newRow("backspace is code 8")
            << int(Qt::Key_Backspace) << 0 << "12" << QList<int>{8} << "1";
    QTest::newRow("delete is no key press")
            << int(Qt::Key_Delete) << 0 << "12" << QList<int>{} << "12";
    QTest::newRow("arrow is no key press")
            << int(Qt::Key_Left) << 0 << "12" << QList<int>{} << "12";
}

void TestWidgets::keyHookSeesCharactersBeforeTheBox()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(QString, start);
    QFETCH(QList<int>, seen);
    QFETCH(QString, expected);
    KeyFilterLineEdit edit;
    edit.setText(start);
    edit.show();
    QList<int> codes;
    connect(&edit, &KeyFilterLineEdit::keyPress, this, [&](int &code) {
        codes << code;
        if (code >= 'a' && code <= 'z')
            code = 0;
    });
    QTest::keyClick(&edit, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QCOMPARE(codes, seen);
    QCOMPARE(edit.text(), expected);
}

void TestWidgets::changeNotificationFollowsProgramWrites()
{
    KeyFilterLineEdit edit;
    QStringList seen;
    connect(&edit, &QLineEdit::textChanged, this, [&](const QString &t) {
        seen << t;
        // A nested write runs its own notification before this one returns.
        if (t == u"0")
            edit.setText(QString());
    });
    edit.setText(QStringLiteral("0"));
    QCOMPARE(seen, QStringList({"0", ""}));
}

QTEST_MAIN(TestWidgets)
#include "tst_widgets.moc"
