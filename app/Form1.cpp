// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#include "app/Form1.h"

#include "app/Picture.h"
#include "app/WindowFocus.h"
#include "base/ClockText.h"
#include "base/DueMinute.h"
#include "set_alarms/Form2.h"
#include "ui/LayoutFont.h"
#include "ui/MsgBox.h"
#include "ui/ToolWindow.h"
#include "ui_Form1.h"
#include "wake/WakeClient.h"

#include <QCloseEvent>
#include <QDesktopServices>
#include <QPixmap>
#include <QTimer>

using Sound = csSoundPlayerLibrary;

const QString Form1::maker = QStringLiteral("the Vellwake developers");
const QString Form1::website = QStringLiteral(VELLWAKE_WEBSITE);

namespace {

const QColor black(0, 0, 0);
const QColor red(255, 0, 0);

// The alarm check must go on when the sound fails: the snooze button and the
// status still show that the alarm is due.
template<typename Step> void guarded(Step step)
{
    try {
        step();
    } catch (...) {
    }
}

bool isDue(const QCheckBox *slot, const QString &shown)
{
    return slot->isChecked() && captionMatches(shown, slot->text());
}

QPixmap backgroundPicture(qreal devicePixelRatio)
{
    // A picture drawn at twice the size keeps it sharp on dense screens.
    if (devicePixelRatio > 1.0) {
        QPixmap sharp = readPicture(QStringLiteral(":/assets/background@2x.jpg"), "jpeg");
        if (!sharp.isNull()) {
            sharp.setDevicePixelRatio(2.0);
            return sharp;
        }
    }
    return readPicture(QStringLiteral(":/assets/background.jpg"), "jpeg");
}

} // namespace

Form1::Form1(Clock now, QWidget *parent)
    : QMainWindow(parent)
    , ui(std::make_unique<Ui::Form1>())
    , m_now(std::move(now))
    , m_wake(std::make_unique<WakeClient>())
{
    substituteLayoutFont();
    ui->setupUi(this);
    QIcon icon;
    for (const char *size : {"16", "32", "48"})
        icon.addPixmap(readPicture(QStringLiteral(":/assets/icon-%1.png").arg(QLatin1String(size)),
                                   "png"));
    setWindowIcon(icon);
    ui->Image1->setPixmap(backgroundPicture(devicePixelRatioF()));
    QPalette slotPalette = ui->Check1->palette();
    slotPalette.setColor(QPalette::Active, QPalette::WindowText, black);
    slotPalette.setColor(QPalette::Inactive, QPalette::WindowText, black);
    ui->Check1->setPalette(slotPalette);
    adjustSize();
    makeFixedToolWindow(this);

    m_focus = new WindowFocus(this);
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(5);

    connect(Timer1, &QTimer::timeout, this, &Form1::Timer1_Timer);
    connect(ui->Label1, &NotifyingLabel::changed, this, &Form1::Label1_Change);
    connect(ui->Command1, &QPushButton::clicked, this, &Form1::Command1_Click);
    connect(ui->Command3, &QPushButton::clicked, this, &Form1::Command3_Click);
    connect(ui->Check1, &NotifyingCheckBox::valueChanged, this, &Form1::Check1_Click);
    connect(ui->Check2, &NotifyingCheckBox::valueChanged, this, &Form1::Check2_Click);
    connect(ui->about, &QAction::triggered, this, &Form1::about_Click);

    Form_Load();
    Timer1->start();
}

Form1::~Form1() = default;

const QString &Form1::currentClockText()
{
    // The text only changes once a minute; the tick reuses it until then.
    const QTime time = m_now().time();
    const int minute = time.hour() * 60 + time.minute();
    if (minute != m_shownMinute) {
        m_shownMinute = minute;
        m_shownText = clockText(time);
    }
    return m_shownText;
}

void Form1::Form_Load()
{
    ui->Label1->setText(currentClockText());
    ui->Check1->setEnabled(false);
    ui->Check2->setEnabled(false);
    soundPlayer = std::make_unique<csSoundPlayerLibrary>();
    soundPlayer->setSoundPath(QStringLiteral("alarm.wav"));
    ui->Command3->setEnabled(false);
}

void Form1::Form_Activate()
{
    // A ring that began while the window was hidden could not take the focus;
    // the space bar must snooze as soon as the window is back.
    if (ui->Command3->isEnabled())
        ui->Command3->setFocus();
}

void Form1::Timer1_Timer()
{
    ui->Label1->setText(currentClockText());

    static const QString snoozing = QStringLiteral("*** snoooozing *** ");
    static const QString pressSpace = QStringLiteral("*** Press the SPACE Bar to SNOOOOZE ***");
    static const QString noAlarm = QStringLiteral("*** ALERT: No Alarm is currently set ***");
    static const QString noModule = QStringLiteral("*** NO SOUND: audio module missing ***");
    static const QString noOutput = QStringLiteral("*** NO SOUND: no audio output found ***");
    SoundProblem problem = SoundProblem::None;
    if (!snoozeTime.isEmpty()) {
        ui->Label3->setForeColor(black);
        ui->Label3->setText(snoozing);
    } else if (ringingAlarm == u"1" || ringingAlarm == u"2") {
        ui->Label3->setForeColor(black);
        ui->Label3->setText(pressSpace);
    } else if (ui->Check1->value() == 0 && ui->Check2->value() == 0) {
        ui->Label3->setForeColor(red);
        ui->Label3->setText(noAlarm);
    } else if (problem = soundPlayer->soundProblem(); problem != SoundProblem::None) {
        // An armed alarm that nothing could be heard from must not look fine.
        ui->Label3->setForeColor(red);
        ui->Label3->setText(problem == SoundProblem::NoAudioModule ? noModule : noOutput);
    } else {
        ui->Label3->setText(QString());
    }
}

void Form1::startRinging(const QString &slotNumber)
{
    guarded([&] { soundPlayer->playSoundFile(Sound::True, Sound::True); });
    ui->Command3->setEnabled(true);
    ui->Command3->setFocus();
    ui->Command1->setEnabled(false);
    ringingAlarm = slotNumber;
}

void Form1::Label1_Change()
{
    const QString shown = ui->Label1->text();
    if (isDue(ui->Check1, shown))
        startRinging(QStringLiteral("1"));
    if (isDue(ui->Check2, shown))
        startRinging(QStringLiteral("2"));
    if (snoozeTime == shown) {
        guarded([&] { soundPlayer->playSoundFile(Sound::True, Sound::True); });
        ui->Command3->setEnabled(true);
        ui->Command3->setFocus();
        snoozeTime.clear();
    }
    // Each minute turn also follows a wall clock that was set or a time zone
    // that changed, and looks again whether the armed alarms can be heard.
    updateWakeTime();
    checkSoundWhileArmed();
}

void Form1::Command3_Click()
{
    soundPlayer->stopPlay();
    // Fifteen minutes of real time, so that a snooze across a change to or
    // from summer time comes back after 15 minutes, not never or after 75.
    snoozeTime = clockText(m_now().addSecs(15 * 60).time());
    ui->Command3->setEnabled(false);
    updateWakeTime();
}

void Form1::disarm(int slotValue, const QString &slotNumber)
{
    if (slotValue != 0 || ringingAlarm != slotNumber)
        return;
    soundPlayer->stopPlay();
    ui->Command3->setEnabled(false);
    ui->Command1->setEnabled(true);
    snoozeTime.clear();
    ringingAlarm.clear();
}

void Form1::Check1_Click()
{
    disarm(ui->Check1->value(), QStringLiteral("1"));
    updateWakeTime();
    checkSoundWhileArmed();
}

void Form1::Check2_Click()
{
    disarm(ui->Check2->value(), QStringLiteral("2"));
    updateWakeTime();
    checkSoundWhileArmed();
}

void Form1::checkSoundWhileArmed()
{
    // The load writes the clock before the player exists; nothing is armed then.
    if (soundPlayer && (ui->Check1->value() == 1 || ui->Check2->value() == 1))
        soundPlayer->checkSoundOutput();
}

void Form1::updateWakeTime()
{
    QStringList armed;
    for (const NotifyingCheckBox *slot : {ui->Check1, ui->Check2}) {
        if (slot->value() == 1)
            armed.append(slot->text());
    }
    m_wake->setWakeTime(nextDueMinute(m_now(), armed, snoozeTime));
}

void Form1::Command1_Click()
{
    hide();
    // No owner: the main window is hidden while this one is open.
    auto *form2 = new Form2(ui->Check1, ui->Check2, this);
    form2->show();
}

void Form1::Form_Unload(bool &Cancel)
{
    const MsgBox::Answer answer = MsgBox::show(
            QStringLiteral("Are you sure you want to close your Vellwake?"), MsgBox::OkCancel);
    Cancel = answer != MsgBox::Ok;
}

void Form1::about_Click()
{
    const QString text = QStringLiteral("Vellwake %1.%2\nMade by %3, 2026.\n\n"
                                        "Visit our website at %4 ?")
                                 .arg(VELLWAKE_VERSION_MAJOR)
                                 .arg(VELLWAKE_VERSION_MINOR)
                                 .arg(maker, website);
    const MsgBox::Answer answer = MsgBox::show(text, MsgBox::OkCancel);
    m_focus->restore();
    if (answer == MsgBox::Ok)
        QDesktopServices::openUrl(QUrl(website));
}

void Form1::closeEvent(QCloseEvent *event)
{
    bool cancel = false;
    Form_Unload(cancel);
    if (cancel) {
        event->ignore();
        return;
    }
    event->accept();
    Timer1->stop();
    // The program ends with this window, and a ringing sound with it.
    soundPlayer->stopPlay();
    Q_EMIT unloaded();
}

void Form1::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    Form_Activate();
    // The Set Alarms window may have rewritten an armed slot's caption
    // without changing its value.
    updateWakeTime();
}
