// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#include "ReferenceWindow.h"

#include <QFont>
#include <QLabel>
#include <QTimer>

ReferenceWindow::ReferenceWindow(TimeSource now, QWidget *parent)
    : QWidget(parent)
    , m_now(std::move(now))
{
    // Same size and clock face as the program's window, nothing else.
    setFixedSize(312, 206);
    m_clock = new QLabel(this);
    m_clock->setGeometry(16, 24, 281, 65);
    m_clock->setAlignment(Qt::AlignCenter);
    m_clock->setFont(QFont(QStringLiteral("Arial"), 48));
    m_status = new QLabel(this);
    m_status->setGeometry(48, 104, 217, 17);
    m_status->setAlignment(Qt::AlignCenter);

    m_timer = new QTimer(this);
    m_timer->setInterval(5);
    connect(m_timer, &QTimer::timeout, this, &ReferenceWindow::tick);
    tick();
    m_timer->start();
}

void ReferenceWindow::tick()
{
    const QString text = m_now().toString(QStringLiteral("h:mm AP"));
    if (text != m_clock->text()) {
        m_clock->setText(text);
        Q_EMIT clockChanged();
    }
    m_status->setText(QStringLiteral("*** ALERT: No Alarm is currently set ***"));
    QPalette pal = m_status->palette();
    pal.setColor(QPalette::WindowText, Qt::red);
    m_status->setPalette(pal);
}
