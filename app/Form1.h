// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#pragma once

#include "app/Clock.h"
#include "sound/csSoundPlayerLibrary.h"

#include <QMainWindow>

#include <memory>

class QTimer;
class WakeClient;
class WindowFocus;
namespace Ui {
class Form1;
}

// The main window: the clock, the two alarm slots, the ringing, snooze and
// disarm, the close confirmation and the About message.
class Form1 : public QMainWindow
{
    Q_OBJECT
public:
    explicit Form1(Clock now = systemNow, QWidget *parent = nullptr);
    ~Form1() override;

    // Handlers.
    void Form_Load();
    void Form_Activate();
    void Form_Unload(bool &Cancel);
    void Timer1_Timer();
    void Label1_Change();
    void Command1_Click();
    void Command3_Click();
    void Check1_Click();
    void Check2_Click();
    void about_Click();

Q_SIGNALS:
    // The window has closed for good: the program ends.
    void unloaded();

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    // Window state.
    std::unique_ptr<csSoundPlayerLibrary> soundPlayer;
    QString ringingAlarm; // "", "1" or "2"
    QString snoozeTime; // "" or the clock text the sound comes back at

    static const QString maker;
    static const QString website;

    const QString &currentClockText();
    void startRinging(const QString &slotNumber);
    void disarm(int slotValue, const QString &slotNumber);
    void updateWakeTime();
    void checkSoundWhileArmed();

    std::unique_ptr<Ui::Form1> ui;
    QTimer *Timer1 = nullptr;
    WindowFocus *m_focus = nullptr;
    Clock m_now;
    int m_shownMinute = -1; // minute of the day m_shownText was made for
    QString m_shownText;
    std::unique_ptr<WakeClient> m_wake;
};
