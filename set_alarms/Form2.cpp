// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#include "set_alarms/Form2.h"

#include "set_alarms/AccessibleWindow.h"
#include "ui/KeyFilterLineEdit.h"
#include "ui/LayoutFont.h"
#include "ui/NotifyingCheckBox.h"
#include "ui/ToolWindow.h"
#include "ui_Form2.h"

#include <QCloseEvent>
#include <QFont>
#include <QGuiApplication>
#include <QIcon>
#include <QPixmap>
#include <QScreen>

#include <algorithm>

namespace {

// The largest hour and minute the fields keep.
constexpr int hourLimit = 12;
constexpr int minuteLimit = 59;

QString firstCharacter(const QString &text)
{
    return text.left(1);
}

// The key filter: control codes and digits pass, every other character
// becomes 0 and is dropped.
int filterKey(int keyAscii)
{
    if (keyAscii < 32)
        return keyAscii;
    if (keyAscii >= '0' && keyAscii <= '9')
        return keyAscii;
    return 0;
}

bool isWholeNumber(QStringView text)
{
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), [](QChar c) {
        return c >= u'0' && c <= u'9';
    });
}

// A non-empty text whose number is above the limit. Pasted text that is not a
// whole number counts as above it, so it is corrected like any wrong entry.
bool exceedsLimit(QStringView text, int limit)
{
    if (text.isEmpty())
        return false;
    if (!isWholeNumber(text))
        return true;
    // Read digit by digit and stop once past the limit, so no length of
    // text can overflow.
    long long number = 0;
    for (QChar c : text) {
        number = number * 10 + (c.unicode() - u'0');
        if (number > limit)
            return true;
    }
    return false;
}

bool isCompleteAlarm(const KeyFilterLineEdit *hour, const KeyFilterLineEdit *minute)
{
    const bool minuteFull = minute->text().size() == minute->maxLength();
    // An hour of "1" may still take a second digit, so it is never full.
    const bool hourDone = hour->text().size() == hour->maxLength() || hour->text() == u"1";
    return minuteFull && hourDone;
}

bool isEmptyAlarm(const KeyFilterLineEdit *hour, const KeyFilterLineEdit *minute)
{
    return hour->text().isEmpty() && minute->text().isEmpty();
}

} // namespace

Form2::Form2(NotifyingCheckBox *alarmSlot1, NotifyingCheckBox *alarmSlot2, QWidget *mainWindow)
    : QWidget(nullptr)
    , ui(std::make_unique<Ui::Form2>())
    , m_alarmSlot1(alarmSlot1)
    , m_alarmSlot2(alarmSlot2)
    , m_mainWindow(mainWindow)
{
    substituteLayoutFont();
    exposeAsWindowToAccessibility();
    ui->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    // An empty icon would fall back to the application's; this one shows nothing.
    QPixmap noIcon(16, 16);
    noIcon.fill(Qt::transparent);
    setWindowIcon(QIcon(noIcon));

    // Designer files hold whole points only.
    for (QWidget *w : std::initializer_list<QWidget *>{ui->Label1, ui->Label2, ui->Command1}) {
        QFont f = w->font();
        f.setPointSizeF(13.5);
        w->setFont(f);
    }
    // The fields wear the system's button face, whatever the platform's theme.
    for (KeyFilterLineEdit *field : {ui->Text1, ui->Text2, ui->Text3, ui->Text4}) {
        QPalette p = field->palette();
        p.setColor(QPalette::Base, p.color(QPalette::Button));
        field->setPalette(p);
    }
    makeFixedToolWindow(this);
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    connect(ui->Check1, &NotifyingCheckBox::gotFocus, this, &Form2::Check1_GotFocus);
    connect(ui->Check2, &NotifyingCheckBox::gotFocus, this, &Form2::Check2_GotFocus);
    connect(ui->Check3, &NotifyingCheckBox::gotFocus, this, &Form2::Check3_GotFocus);
    connect(ui->Check4, &NotifyingCheckBox::gotFocus, this, &Form2::Check4_GotFocus);
    connect(ui->Command1, &QPushButton::clicked, this, &Form2::Command1_Click);
    connect(ui->Text1, &KeyFilterLineEdit::keyPress, this, &Form2::Text1_KeyPress);
    connect(ui->Text2, &KeyFilterLineEdit::keyPress, this, &Form2::Text2_KeyPress);
    connect(ui->Text3, &KeyFilterLineEdit::keyPress, this, &Form2::Text3_KeyPress);
    connect(ui->Text4, &KeyFilterLineEdit::keyPress, this, &Form2::Text4_KeyPress);
    connect(ui->Text1, &QLineEdit::textChanged, this, &Form2::Text1_Change);
    connect(ui->Text2, &QLineEdit::textChanged, this, &Form2::Text2_Change);
    connect(ui->Text3, &QLineEdit::textChanged, this, &Form2::Text3_Change);
    connect(ui->Text4, &QLineEdit::textChanged, this, &Form2::Text4_Change);

    Form_Load();
}

Form2::~Form2() = default;

void Form2::Form_Load()
{
    ui->Check1->setValue(1);
    ui->Check3->setValue(1);
    ui->Command1->setEnabled(false);
}

void Form2::Form_Unload()
{
    if (m_mainWindow)
        m_mainWindow->show();
}

void Form2::closeEvent(QCloseEvent *event)
{
    Form_Unload();
    event->accept();
}

// A box taking the focus clears its partner only; the box itself keeps its value.
void Form2::Check1_GotFocus()
{
    ui->Check2->setValue(0);
}

void Form2::Check2_GotFocus()
{
    ui->Check1->setValue(0);
}

void Form2::Check3_GotFocus()
{
    ui->Check4->setValue(0);
}

void Form2::Check4_GotFocus()
{
    ui->Check3->setValue(0);
}

void Form2::writeAlarm(KeyFilterLineEdit *hour, KeyFilterLineEdit *minute, const QString &suffix,
                       NotifyingCheckBox *alarmSlot)
{
    if (hour->text().isEmpty() || !alarmSlot)
        return;
    // The texts go in as they stand; the field rules have kept them in shape.
    alarmSlot->setText(hour->text() + u':' + minute->text() + suffix);
    alarmSlot->setEnabled(true);
    alarmSlot->setValue(1);
}

void Form2::Command1_Click()
{
    if (ui->Check1->value() == 0 && ui->Check2->value() == 0)
        ui->Check1->setValue(1);
    if (ui->Check3->value() == 0 && ui->Check4->value() == 0)
        ui->Check3->setValue(1);

    QString suffix1, suffix2;
    if (ui->Check1->value() == 1)
        suffix1 = QStringLiteral(" AM");
    if (ui->Check2->value() == 1)
        suffix1 = QStringLiteral(" PM");
    if (ui->Check3->value() == 1)
        suffix2 = QStringLiteral(" AM");
    if (ui->Check4->value() == 1)
        suffix2 = QStringLiteral(" PM");

    writeAlarm(ui->Text1, ui->Text2, suffix1, m_alarmSlot1);
    writeAlarm(ui->Text3, ui->Text4, suffix2, m_alarmSlot2);
    close();
}

void Form2::Text1_KeyPress(int &KeyAscii)
{
    KeyAscii = filterKey(KeyAscii);
}

void Form2::Text2_KeyPress(int &KeyAscii)
{
    KeyAscii = filterKey(KeyAscii);
}

void Form2::Text3_KeyPress(int &KeyAscii)
{
    KeyAscii = filterKey(KeyAscii);
}

void Form2::Text4_KeyPress(int &KeyAscii)
{
    KeyAscii = filterKey(KeyAscii);
}

void Form2::Text1_Change()
{
    hourRules(ui->Text1, ui->Text2);
}

void Form2::Text2_Change()
{
    minuteRules(ui->Text2);
}

void Form2::Text3_Change()
{
    hourRules(ui->Text3, ui->Text4);
}

void Form2::Text4_Change()
{
    minuteRules(ui->Text4);
}

// Each text written here runs the written field's rules at once, nested;
// every step re-reads the fields because such a run may have changed them.
void Form2::hourRules(KeyFilterLineEdit *hour, KeyFilterLineEdit *minute)
{
    const QString snapshot = hour->text();

    // An hour starting with "1" may take a second digit; any other is one digit.
    hour->setMaxLength(firstCharacter(hour->text()) == u"1" ? 2 : 1);

    // No hour starts with "0".
    if (firstCharacter(hour->text()) == u"0")
        hour->setText(QString());

    // Past 12, the second digit was meant as the first of the minute.
    if (!hour->text().isEmpty() && exceedsLimit(snapshot, hourLimit)) {
        minute->setText(hour->text().mid(1, 1));
        hour->setText(QStringLiteral("1"));
        minute->setFocus();
        minute->setCursorPosition(1);
    }

    if (hour->text().size() == hour->maxLength())
        minute->setFocus();

    enablingRule();
}

void Form2::minuteRules(KeyFilterLineEdit *minute)
{
    if (exceedsLimit(minute->text(), minuteLimit))
        minute->setText(QString());
    enablingRule();
}

void Form2::enablingRule()
{
    // Each alarm complete or empty, and at least one complete.
    const bool complete1 = isCompleteAlarm(ui->Text1, ui->Text2);
    const bool complete2 = isCompleteAlarm(ui->Text3, ui->Text4);
    ui->Command1->setEnabled((complete1 && (complete2 || isEmptyAlarm(ui->Text3, ui->Text4)))
                             || (isEmptyAlarm(ui->Text1, ui->Text2) && complete2));
}
