// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QWidget>

#include <memory>

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

    void Form_Load();
    void Form_Unload();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    std::unique_ptr<Ui::Form2> ui;
    NotifyingCheckBox *m_alarmSlot1;
    NotifyingCheckBox *m_alarmSlot2;
    QWidget *m_mainWindow;
};
