// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QPointer>
#include <QWidget>

#include <memory>

class KeyFilterLineEdit;
class NotifyingCheckBox;
namespace Ui {
class Form2;
}

// The Set Alarms window. It writes the alarms into the two slots it is
// given and shows the main window again whenever it closes.
class Form2 : public QWidget
{
    Q_OBJECT
public:
    Form2(NotifyingCheckBox *alarmSlot1, NotifyingCheckBox *alarmSlot2, QWidget *mainWindow);
    ~Form2() override;

    // Handlers.
    void Form_Load();
    void Form_Unload();
    void Check1_GotFocus();
    void Check2_GotFocus();
    void Check3_GotFocus();
    void Check4_GotFocus();
    void Command1_Click();
    void Text1_KeyPress(int &KeyAscii);
    void Text2_KeyPress(int &KeyAscii);
    void Text3_KeyPress(int &KeyAscii);
    void Text4_KeyPress(int &KeyAscii);
    void Text1_Change();
    void Text2_Change();
    void Text3_Change();
    void Text4_Change();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void hourRules(KeyFilterLineEdit *hour, KeyFilterLineEdit *minute);
    void minuteRules(KeyFilterLineEdit *minute);
    void enablingRule();
    void writeAlarm(KeyFilterLineEdit *hour, KeyFilterLineEdit *minute, const QString &suffix,
                    NotifyingCheckBox *alarmSlot);

    std::unique_ptr<Ui::Form2> ui;
    // The main window outlives this one in the program; guarded all the same.
    QPointer<NotifyingCheckBox> m_alarmSlot1;
    QPointer<NotifyingCheckBox> m_alarmSlot2;
    QPointer<QWidget> m_mainWindow;
};
