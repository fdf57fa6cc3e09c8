// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QTime>
#include <QWidget>

#include <functional>

class QLabel;
class QTimer;

// The least a window can do and still show this clock: every 5 ms it formats
// the time, writes the clock label only when the text differs, and writes the
// status label's text and colour. The benchmarks hold the program against it.
class ReferenceWindow : public QWidget
{
    Q_OBJECT
public:
    using TimeSource = std::function<QTime()>;

    explicit ReferenceWindow(TimeSource now = &QTime::currentTime, QWidget *parent = nullptr);

    void tick();
    QLabel *clockLabel() const { return m_clock; }
    QLabel *statusLabel() const { return m_status; }

Q_SIGNALS:
    // The clock label took a new text.
    void clockChanged();

private:
    TimeSource m_now;
    QLabel *m_clock = nullptr;
    QLabel *m_status = nullptr;
    QTimer *m_timer = nullptr;
};
