// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QDateTime>
#include <QElapsedTimer>

#include <chrono>
#include <memory>
#include <optional>

class QProcess;
class WaitableTimer;

// Asks the system to wake the computer from sleep at the given time, so that
// the window is awake when an alarm comes due. On Linux a small privileged
// helper holds the timer for as long as this client lives; on Windows the
// program holds it itself. Where that is impossible, one line on standard
// error says why and nothing else changes.
class WakeClient
{
public:
    // A helper that dies is started again at the next call, but not sooner
    // than `restartAfter` after its last start.
    explicit WakeClient(std::chrono::milliseconds restartAfter = std::chrono::minutes(1));
    ~WakeClient();
    WakeClient(const WakeClient &) = delete;
    WakeClient &operator=(const WakeClient &) = delete;

    // The time to wake at, or none; the same value again changes nothing
    // while the helper that holds it lives.
    void setWakeTime(const std::optional<QDateTime> &when);

private:
    void giveUp(const QString &why);

    std::optional<qint64> m_sent; // seconds since the epoch last passed on
    bool m_unavailable = false;
#ifdef Q_OS_WIN
    std::unique_ptr<WaitableTimer> m_timer;
#else
    bool startHelper();
    void helperEnded(int exitCode, bool crashed);

    std::unique_ptr<QProcess> m_helper;
    std::chrono::milliseconds m_restartAfter;
    QElapsedTimer m_lastStart;
    bool m_toldEnded = false;
#endif
};
