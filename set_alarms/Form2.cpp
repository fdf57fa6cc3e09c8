// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#include "set_alarms/Form2.h"

#include "ui/NotifyingCheckBox.h"
#include "ui_Form2.h"

#include <QCloseEvent>

Form2::Form2(NotifyingCheckBox *alarmSlot1, NotifyingCheckBox *alarmSlot2, QWidget *mainWindow)
    : QWidget(nullptr)
    , ui(std::make_unique<Ui::Form2>())
    , m_alarmSlot1(alarmSlot1)
    , m_alarmSlot2(alarmSlot2)
    , m_mainWindow(mainWindow)
{
    ui->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    Form_Load();
}

Form2::~Form2() = default;

void Form2::Form_Load() { }

void Form2::Form_Unload()
{
    m_mainWindow->show();
}

void Form2::closeEvent(QCloseEvent *event)
{
    Form_Unload();
    event->accept();
}
