// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#include "set_alarms/TimeFieldRules.h"
#include "tst_timefields_helpers.h"

#include <QtTest>

using namespace Qt::StringLiterals;

class TestTimeFields : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { dropPlatformRaiseWarnings(); }
    void keyFilter_data();
    void keyFilter();
    void exceedsLimit_data();
    void exceedsLimit();
    void typing_data();
    void typing();
    void enablingRule_data();
    void enablingRule();
    void programWritesOfAnyLength_data();
    void programWritesOfAnyLength();
    void rulesNeverReachTheOtherAlarm();
};

void TestTimeFields::keyFilter_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("passed");
    QTest::newRow("negative") << -5 << -5;
    QTest::newRow("backspace") << 8 << 8;
    QTest::newRow("ctrl+v") << 22 << 22;
    QTest::newRow("unit separator") << 31 << 31;
    QTest::newRow("space") << 32 << 0;
    QTest::newRow("slash, just below 0") << int('/') << 0;
    QTest::newRow("0") << int('0') << int('0');
    QTest::newRow("9") << int('9') << int('9');
    QTest::newRow("colon, just above 9") << int(':') << 0;
    QTest::newRow("letter") << int('a') << 0;
    QTest::newRow("delete as 127") << 127 << 0;
    QTest::newRow("arabic-indic five") << 0x0665 << 0;
    QTest::newRow("fullwidth five") << 0xFF15 << 0;
}

void TestTimeFields::keyFilter()
{
    QFETCH(int, code);
    QFETCH(int, passed);
    QCOMPARE(TimeFieldRules::filterKey(code), passed);
}

void TestTimeFields::exceedsLimit_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("limit");
    QTest::addColumn<bool>("exceeds");
    QTest::newRow("empty") << QString() << 12 << false;
    QTest::newRow("12 of 12") << u"12"_s << 12 << false;
    QTest::newRow("13 of 12") << u"13"_s << 12 << true;
    QTest::newRow("59 of 59") << u"59"_s << 59 << false;
    QTest::newRow("60 of 59") << u"60"_s << 59 << true;
    QTest::newRow("leading zeros") << u"0005"_s << 12 << false;
    QTest::newRow("long zeros then 9") << QString(5000, u'0') + u'9' << 12 << false;
    QTest::newRow("past any integer") << QString(5000, u'9') << 59 << true;
    QTest::newRow("letter") << u"a"_s << 59 << true;
    QTest::newRow("digit and letter") << u"1a"_s << 12 << true;
    QTest::newRow("sign") << u"+5"_s << 12 << true;
    QTest::newRow("blank") << u" 5"_s << 59 << true;
    QTest::newRow("non-latin digit") << QString(QChar(0x0665)) << 59 << true;
}

void TestTimeFields::exceedsLimit()
{
    QFETCH(QString, text);
    QFETCH(int, limit);
    QFETCH(bool, exceeds);
    QCOMPARE(TimeFieldRules::exceedsLimit(text, limit), exceeds);
}

// Each row runs for alarm 1 (Text1/Text2) and alarm 2 (Text3/Text4).
void TestTimeFields::typing_data()
{
    QTest::addColumn<int>("alarm");
    QTest::addColumn<QString>("clipboard");
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("hour");
    QTest::addColumn<QString>("minute");
    QTest::addColumn<QString>("focus"); // "h" or "m"
    QTest::addColumn<int>("caret"); // in the focused field; -1 not checked
    QTest::addColumn<bool>("enabled");

    struct Row
    {
        const char *name;
        QString clip, script, hour, minute, focus;
        int caret;
        bool enabled;
    };
    const Row rows[] = {
            {"7 moves on", {}, u"^h7"_s, u"7"_s, {}, u"m"_s, 0, false},
            {"7 then refused back in the hour", {}, u"^h7^h3"_s, u"7"_s, {}, u"h"_s, 1, false},
            {"1 waits", {}, u"^h1"_s, u"1"_s, {}, u"h"_s, 1, false},
            {"10 moves on", {}, u"^h10"_s, u"10"_s, {}, u"m"_s, -1, false},
            {"12 moves on", {}, u"^h12"_s, u"12"_s, {}, u"m"_s, -1, false},
            {"15 carries 5", {}, u"^h15"_s, u"1"_s, u"5"_s, u"m"_s, 1, false},
            {"153 is 1:53", {}, u"^h153"_s, u"1"_s, u"53"_s, u"m"_s, 2, true},
            {"19 carries 9", {}, u"^h19"_s, u"1"_s, u"9"_s, u"m"_s, 1, false},
            {"carry replaces minute", {}, u"^m45^h15"_s, u"1"_s, u"5"_s, u"m"_s, 1, false},
            {"5 before 1", {}, u"^h1^H5"_s, u"1"_s, u"1"_s, u"m"_s, 1, false},
            {"0 cleared", {}, u"^h0"_s, {}, {}, u"h"_s, 0, false},
            {"0 then 7", {}, u"^h07"_s, u"7"_s, {}, u"m"_s, -1, false},
            {"2 then minute 05", {}, u"^h205"_s, u"2"_s, u"05"_s, u"m"_s, 2, true},
            {"12 minus 1 moves on", {}, u"^h12^h^L^B"_s, u"2"_s, {}, u"m"_s, -1, false},
            {"12 minus 2 stays", {}, u"^h12^h^B"_s, u"1"_s, {}, u"h"_s, 1, false},
            {"10 minus 1 clears", {}, u"^h10^h^H^D"_s, {}, {}, u"h"_s, 0, false},
            {"single backspaced", {}, u"^h7^h^B4"_s, u"4"_s, {}, u"m"_s, -1, false},
            {"select all and retype", {}, u"^h12^h^A3"_s, u"3"_s, {}, u"m"_s, -1, false},
            {"undo back to one", {}, u"^h1^h^Z"_s, {}, {}, u"h"_s, -1, false},
            {"junk dropped in hour", {}, u"^ha: -Z"_s, {}, {}, u"h"_s, 0, false},
            {"junk dropped in minute", {}, u"^mx3:- q0"_s, {}, u"30"_s, u"m"_s, 2, false},
            {"minute 6 stays", {}, u"^m6"_s, {}, u"6"_s, u"m"_s, 1, false},
            {"minute 60 emptied", {}, u"^m60"_s, {}, {}, u"m"_s, 0, false},
            {"minute 59", {}, u"^h959"_s, u"9"_s, u"59"_s, u"m"_s, 2, true},
            {"minute 00", {}, u"^h1^m00"_s, u"1"_s, u"00"_s, u"m"_s, 2, true},
            {"one-digit minute", {}, u"^h9^m7"_s, u"9"_s, u"7"_s, u"m"_s, 1, false},
            {"third minute digit refused", {}, u"^h4123"_s, u"4"_s, u"12"_s, u"m"_s, 2, true},
            {"minute backspaced", {}, u"^h930^B"_s, u"9"_s, u"3"_s, u"m"_s, 1, false},
            {"paste hour 12", u"12"_s, u"^h^V"_s, u"12"_s, {}, u"m"_s, -1, false},
            {"paste hour 11 past limit", u"115"_s, u"^h^V"_s, u"11"_s, {}, u"m"_s, -1, false},
            {"paste hour 99", u"99"_s, u"^h^V"_s, u"1"_s, u"9"_s, u"m"_s, 1, false},
            {"paste hour 05", u"05"_s, u"^h^V"_s, {}, {}, u"h"_s, 0, false},
            {"paste hour junk", u"7:30"_s, u"^h^V"_s, u"1"_s, {}, u"m"_s, 0, false},
            {"paste hour letters", u"ab"_s, u"^h^V"_s, u"1"_s, {}, u"m"_s, 0, false},
            {"paste minute 45", u"45"_s, u"^h8^V"_s, u"8"_s, u"45"_s, u"m"_s, 2, true},
            {"paste minute letters", u"x9"_s, u"^m^V"_s, {}, {}, u"m"_s, 0, false},
            {"paste minute past room", u"456"_s, u"^m3^V"_s, {}, u"34"_s, u"m"_s, 2, false},
            {"paste minute 75", u"75"_s, u"^m^V"_s, {}, {}, u"m"_s, 0, false},
    };
    for (int alarm : {1, 2})
        for (const Row &r : rows)
            QTest::addRow("alarm %d: %s", alarm, r.name)
                    << alarm << r.clip << r.script << r.hour << r.minute << r.focus << r.caret
                    << r.enabled;
}

void TestTimeFields::typing()
{
    QFETCH(int, alarm);
    QFETCH(QString, clipboard);
    QFETCH(QString, script);
    Form2Fixture f;
    QVERIFY(activate(f.form));
    QGuiApplication::clipboard()->setText(clipboard);

    play(f.form, alarm, script);

    KeyFilterLineEdit *hour = f.text(alarm * 2 - 1);
    KeyFilterLineEdit *minute = f.text(alarm * 2);
    QTEST(hour->text(), "hour");
    QTEST(minute->text(), "minute");
    QFETCH(QString, focus);
    QLineEdit *focused = focus == u"h" ? hour : minute;
    QCOMPARE(QApplication::focusWidget(), focused);
    QFETCH(int, caret);
    if (caret >= 0)
        QCOMPARE(focused->cursorPosition(), caret);
    QTEST(applyButton(f.form)->isEnabled(), "enabled");
    // The other alarm's fields are never touched.
    const int other = alarm == 1 ? 3 : 1;
    QVERIFY(f.text(other)->text().isEmpty());
    QVERIFY(f.text(other + 1)->text().isEmpty());
}

void TestTimeFields::enablingRule_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::addColumn<bool>("enabled");

    struct Row
    {
        const char *name;
        QString a, b;
        bool enabled;
    };
    const QString complete = u"^h930"_s;
    const Row rows[] = {
            {"both empty", {}, {}, false},
            {"complete and empty", complete, {}, true},
            {"both complete", complete, u"^h1145"_s, true},
            {"hour 1 with full minute", u"^h1^m05"_s, {}, true},
            {"hour 1 without minute", u"^h1"_s, complete, false},
            {"hour without minute", u"^h4"_s, complete, false},
            {"minute without hour", u"^m30"_s, complete, false},
            {"one-digit minute", u"^h97"_s, complete, false},
            {"minute emptied again", u"^h930^B^B"_s, complete, false},
            {"half-filled next to empty", u"^h4"_s, {}, false},
            {"half-filled completed", u"^h4^m15"_s, complete, true},
    };
    // The rule is the same whichever alarm holds which entry.
    for (const Row &r : rows) {
        QTest::addRow("%s", r.name) << r.a << r.b << r.enabled;
        QTest::addRow("%s, swapped", r.name) << r.b << r.a << r.enabled;
    }
}

void TestTimeFields::enablingRule()
{
    QFETCH(QString, first);
    QFETCH(QString, second);
    Form2Fixture f;
    QVERIFY(activate(f.form));
    play(f.form, 1, first);
    play(f.form, 2, second);
    QTEST(applyButton(f.form)->isEnabled(), "enabled");
}

void TestTimeFields::programWritesOfAnyLength_data()
{
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("hour");
    QTest::addColumn<QString>("minute");
    for (int alarm : {1, 2}) {
        const int h = alarm * 2 - 1;
        QTest::addRow("alarm %d: long number in hour", alarm)
                << h << QString(100000, u'7') << u"1"_s << u"7"_s;
        QTest::addRow("alarm %d: long junk in hour", alarm)
                << h << QString(100000, u'x') << u"1"_s << QString();
        QTest::addRow("alarm %d: long zeros in hour", alarm)
                << h << QString(100000, u'0') << QString() << QString();
        QTest::addRow("alarm %d: long number in minute", alarm)
                << h + 1 << QString(100000, u'5') << QString() << QString();
        QTest::addRow("alarm %d: zeros then 7 in minute", alarm)
                << h + 1 << QString(20000, u'0') + u'7' << QString() << QString(20000, u'0') + u'7';
    }
}

// Text can arrive by ways no key filter sees; the rules settle it in one go.
void TestTimeFields::programWritesOfAnyLength()
{
    QFETCH(int, field);
    QFETCH(QString, text);
    Form2Fixture f;
    QVERIFY(activate(f.form));
    f.text(field)->setText(text);
    const int hour = field % 2 ? field : field - 1;
    QTEST(f.text(hour)->text(), "hour");
    QTEST(f.text(hour + 1)->text(), "minute");
    QVERIFY(!applyButton(f.form)->isEnabled());
}

void TestTimeFields::rulesNeverReachTheOtherAlarm()
{
    Form2Fixture f;
    QVERIFY(activate(f.form));
    play(f.form, 1, u"^h930"_s);
    QVERIFY(applyButton(f.form)->isEnabled());
    // Half of alarm 2 disables the button, even though alarm 1 is complete.
    play(f.form, 2, u"^h4"_s);
    QCOMPARE(QApplication::focusWidget(), f.text(4));
    QVERIFY(!applyButton(f.form)->isEnabled());
    play(f.form, 2, u"15"_s);
    QVERIFY(applyButton(f.form)->isEnabled());
    QCOMPARE(f.text(1)->text(), u"9"_s);
    QCOMPARE(f.text(2)->text(), u"30"_s);
    QCOMPARE(f.text(3)->text(), u"4"_s);
    QCOMPARE(f.text(4)->text(), u"15"_s);
}

QTEST_MAIN(TestTimeFields)
#include "tst_timefields.moc"
