// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#include "wake/WakeClient.h"

#ifdef Q_OS_WIN
#include "wake/WaitableTimer.h"
#else
#include "base/ProgramFiles.h"

#include <QFileInfo>
#include <QProcess>
#endif

#include <cstdio>
#include <string>

namespace {

#ifndef Q_OS_WIN
const QString helperName = QStringLiteral("vellwake-wake");
// The helper leaves with this code when it may not wake the computer; it has
// said why on the standard error it shares with the program.
constexpr int helperNoPermission = 3;

QString findHelper()
{
    for (const QString &path :
         programFileCandidates(helperName, QStringLiteral(VELLWAKE_HELPERDIR))) {
        const QFileInfo file(path);
        if (file.isFile() && file.isExecutable())
            return path;
    }
    return {};
}
#endif

} // namespace

#ifdef Q_OS_WIN
WakeClient::WakeClient(std::chrono::milliseconds)
    : m_timer(std::make_unique<WaitableTimer>())
{
}
#else
WakeClient::WakeClient(std::chrono::milliseconds restartAfter)
    : m_restartAfter(restartAfter)
{
}
#endif

WakeClient::~WakeClient()
{
#ifndef Q_OS_WIN
    if (m_helper) {
        m_helper->disconnect();
        // The end of its input ends the helper, and the wake timer with it.
        m_helper->closeWriteChannel();
        m_helper->waitForFinished(1000);
    }
#endif
}

void WakeClient::giveUp(const QString &why)
{
    m_unavailable = true;
    std::fprintf(stderr, "vellwake: the computer will not be woken from sleep for an alarm: %s\n",
                 qPrintable(why));
}

void WakeClient::setWakeTime(const std::optional<QDateTime> &when)
{
    const std::optional<qint64> secs
            = when ? std::optional<qint64>(when->toSecsSinceEpoch()) : std::nullopt;
#ifdef Q_OS_WIN
    if (m_unavailable || secs == m_sent)
        return;
    std::string why;
    if (!m_timer->set(secs, why)) {
        giveUp(QString::fromStdString(why));
        return;
    }
#else
    if (m_unavailable || (m_helper && secs == m_sent))
        return;
    if (!m_helper) {
        // A helper that is not running holds no timer, so "none" needs none.
        if (!secs) {
            m_sent.reset();
            return;
        }
        // One that keeps dying is not started over and over.
        if (m_lastStart.isValid() && !m_lastStart.hasExpired(m_restartAfter.count()))
            return;
        if (!startHelper())
            return;
    }
    const QByteArray line = secs ? QByteArray::number(*secs) : QByteArrayLiteral("none");
    m_helper->write(line + '\n');
#endif
    m_sent = secs;
}

#ifndef Q_OS_WIN
bool WakeClient::startHelper()
{
    const QString path = findHelper();
    if (path.isEmpty()) {
        giveUp(QStringLiteral("%1 is neither beside the program nor in %2")
                       .arg(helperName, QStringLiteral(VELLWAKE_HELPERDIR)));
        return false;
    }
    m_helper = std::make_unique<QProcess>();
    // Its one line of complaint goes straight to the program's standard error.
    m_helper->setProcessChannelMode(QProcess::ForwardedChannels);
    QObject::connect(m_helper.get(), &QProcess::finished, m_helper.get(),
                     [this](int exitCode, QProcess::ExitStatus status) {
                         helperEnded(exitCode, status == QProcess::CrashExit);
                     });
    // It needs nothing from the environment, and a privileged program is
    // better off not reading it.
    m_helper->setProcessEnvironment(QProcessEnvironment());
    m_lastStart.start();
    m_helper->start(path, {});
    if (!m_helper->waitForStarted()) {
        m_helper.reset();
        giveUp(QStringLiteral("%1 could not be started").arg(path));
        return false;
    }
    return true;
}

void WakeClient::helperEnded(int exitCode, bool crashed)
{
    // Called from the process object itself: delete it once it returns.
    m_helper.release()->deleteLater();
    if (!crashed && exitCode == helperNoPermission) {
        m_unavailable = true;
        return;
    }
    // The window asks again at the next minute turn at the latest; that call
    // starts it afresh and hands it the time to wake at.
    if (!m_toldEnded) {
        m_toldEnded = true;
        std::fprintf(stderr, "vellwake: %s ended unexpectedly; it is started again\n",
                     qPrintable(helperName));
    }
}
#endif
