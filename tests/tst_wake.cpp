// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
// The next minute an alarm is due, across midnight and summer-time nights,
// and the wake-up helper as the program drives it: its line protocol, and the
// client that starts it, feeds it and starts it again when it dies.
#include "base/DueMinute.h"
#include "wake/WakeClient.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTest>

#include <sys/timerfd.h>
#include <csignal>
#include <ctime>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// A local time of 2026 with the offset the zone has then: in the hour that
// the end of summer time repeats, the offset tells which showing is meant.
QDateTime shown(int month, int day, QTime time, int offsetHours)
{
    return QDateTime(QDate(2026, month, day), time, Qt::OffsetFromUTC, offsetHours * 3600);
}

QString proc(qint64 pid, const QString &name)
{
    QFile file(u"/proc/%1/%2"_s.arg(pid).arg(name));
    return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()) : QString();
}

enum class Timer { Absent, Cleared, Set };

// The wake timer (clock 8) of a process, and the seconds it has left. A
// cleared timer goes on showing its old time; the flags of its last setting
// tell.
std::pair<Timer, int> wakeTimerOf(qint64 pid)
{
    static const QRegularExpression timer(u"clockid: 8\n.*flags: (\\d+)\nit_value: \\((\\d+),"_s,
                                          QRegularExpression::DotMatchesEverythingOption);
    for (const QString &fd : QDir(u"/proc/%1/fdinfo"_s.arg(pid)).entryList(QDir::Files)) {
        if (const auto m = timer.match(proc(pid, u"fdinfo/"_s + fd)); m.hasMatch())
            return {m.captured(1).toInt() ? Timer::Set : Timer::Cleared, m.captured(2).toInt()};
    }
    return {Timer::Absent, 0};
}

// The wake-up helper this process started, or 0; one that has ended counts
// until it is reaped. A stat line reads "pid (name) state ppid ...".
qint64 helperChild()
{
    for (const QString &pid : QDir(u"/proc"_s).entryList({u"[0-9]*"_s}, QDir::Dirs)) {
        const QString stat = proc(pid.toLongLong(), u"stat"_s);
        if (stat.contains(u"(vellwake-wake) "_s)
            && stat.section(u' ', 3, 3) == QString::number(getpid()))
            return pid.toLongLong();
    }
    return 0;
}

bool wakeTimersPermitted()
{
    const int probe = timerfd_create(CLOCK_REALTIME_ALARM, TFD_CLOEXEC);
    return probe >= 0 && close(probe) == 0;
}

QByteArray wakeLine(int secondsAhead)
{
    return QByteArray::number(QDateTime::currentSecsSinceEpoch() + secondsAhead) + '\n';
}

// What the client is asked, in order: a wake-up some seconds ahead, none,
// or to lose its helper.
struct ClientStep
{
    enum Kind { WakeIn, WakeNever, KillHelper } kind;
    int secondsAhead = 0;
};

} // namespace

Q_DECLARE_METATYPE(Timer)
Q_DECLARE_METATYPE(ClientStep)

class TestWake : public QObject
{
    Q_OBJECT

    // The seconds left must be those asked, less the moments the row took.
    static void verifyLeft(qint64 pid, Timer state, int secondsLeft)
    {
        QTRY_COMPARE(wakeTimerOf(pid).first, state);
        const int left = wakeTimerOf(pid).second;
        if (state == Timer::Set)
            QVERIFY2(left <= secondsLeft && left >= secondsLeft - 3,
                     qPrintable(u"%1 s"_s.arg(left)));
    }

private Q_SLOTS:
    void nextDueMinute_data()
    {
        QTest::addColumn<QByteArray>("zone");
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<QStringList>("armed");
        QTest::addColumn<QString>("snooze");
        QTest::addColumn<QDateTime>("due"); // invalid: no wake-up

        const QByteArray berlin = "Europe/Berlin", newYork = "America/New_York";
        QTest::newRow("armed in its own minute: tomorrow")
                << berlin << shown(3, 2, {7, 5, 30}, 1) << QStringList{u"7:05 AM"_s} << QString()
                << shown(3, 3, {7, 5}, 1);
        QTest::newRow("the earlier of two slots, 12 AM after midnight")
                << berlin << shown(3, 2, {23, 50}, 1) << QStringList{u"9:30 PM"_s, u"12:10 AM"_s}
                << QString() << shown(3, 3, {0, 10}, 1);
        QTest::newRow("nothing armed")
                << berlin << shown(3, 2, {6, 55}, 1) << QStringList() << QString() << QDateTime();
        QTest::newRow("a minute summer time skips: the day after")
                << berlin << shown(3, 29, {1, 0}, 1) << QStringList{u"2:30 AM"_s} << QString()
                << shown(3, 30, {2, 30}, 2);
        QTest::newRow("the repeated hour: its second showing")
                << berlin << shown(10, 25, {2, 45}, 2) << QStringList{u"2:30 AM"_s} << QString()
                << shown(10, 25, {2, 30}, 1);
        QTest::newRow("a snooze in another zone's repeated hour")
                << newYork << shown(11, 1, {1, 50}, -4) << QStringList{u"1:30 AM"_s} << u"1:05 AM"_s
                << shown(11, 1, {1, 5}, -5);
    }

    void nextDueMinute()
    {
        QFETCH(QByteArray, zone);
        QFETCH(QDateTime, now);
        QFETCH(QStringList, armed);
        QFETCH(QString, snooze);
        QFETCH(QDateTime, due);
        const auto restoreZone = qScopeGuard([old = qgetenv("TZ")] {
            qputenv("TZ", old);
            tzset();
        });
        qputenv("TZ", zone);
        tzset();
        QCOMPARE(::nextDueMinute(now, armed, snooze).value_or(QDateTime()), due);
    }

    // The helper, driven by its line protocol as the program drives it.
    void helperProtocol_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<Timer>("state");
        QTest::addColumn<int>("secondsLeft");

        // Digits that would read as a wake-up a minute away, were they not
        // the tail of a line too long to keep.
        const QByteArray overlong = QByteArray(5000, '0') + wakeLine(60);
        QTest::newRow("a minute ahead") << wakeLine(60) << Timer::Set << 60;
        QTest::newRow("none clears it") << wakeLine(60) + "none\n" << Timer::Cleared << 0;
        QTest::newRow("CR LF") << wakeLine(90).replace('\n', "\r\n") << Timer::Set << 90;
        QTest::newRow("malformed lines are ignored") << wakeLine(60) + "7:05 AM\n-5\n0\n12x\n\n"
                                                     << Timer::Set << 60;
        QTest::newRow("a line too long is dropped whole")
                << wakeLine(300) + overlong << Timer::Set << 300;
        QTest::newRow("the line after a long one counts")
                << wakeLine(300) + overlong + wakeLine(90) << Timer::Set << 90;
    }

    void helperProtocol()
    {
        QFETCH(QByteArray, input);
        QFETCH(Timer, state);
        QFETCH(int, secondsLeft);
        if (!wakeTimersPermitted())
            QSKIP("no wake timers permitted here");
        QProcess helper;
        helper.setProcessChannelMode(QProcess::ForwardedChannels);
        helper.start(QStringLiteral(VELLWAKE_WAKE_HELPER));
        QVERIFY(helper.waitForStarted());
        const qint64 pid = helper.processId();
        // Its first line: "rchar: N", the bytes it has read. Once its timer
        // exists it reads nothing but its input.
        const auto bytesRead
                = [&] { return proc(pid, u"io"_s).section(u'\n', 0, 0).mid(7).toLongLong(); };
        QTRY_VERIFY(wakeTimerOf(pid).first != Timer::Absent);
        const qint64 before = bytesRead();
        helper.write(input);
        QTRY_COMPARE(bytesRead(), before + input.size());
        verifyLeft(pid, state, secondsLeft);
        helper.closeWriteChannel();
        QVERIFY(helper.waitForFinished());
        QCOMPARE(helper.exitCode(), 0);
    }

    // It alone holds a privilege, so it must not look for libraries in a
    // place of its own choosing.
    void helperHasNoRunPath()
    {
        QProcess readelf;
        readelf.start(u"readelf"_s, {u"--dynamic"_s, QStringLiteral(VELLWAKE_WAKE_HELPER)});
        if (!readelf.waitForFinished() || readelf.exitCode() != 0)
            QSKIP("readelf cannot read the helper here");
        const QByteArray dynamic = readelf.readAllStandardOutput();
        QVERIFY(dynamic.contains("(NEEDED)"));
        QVERIFY2(!dynamic.contains("(RPATH)") && !dynamic.contains("(RUNPATH)"), dynamic);
    }

    // The client starts the helper only when there is a time to hold, and
    // starts it again, with the time of now, when it dies, but not twice
    // within its restart interval.
    void client_data()
    {
        QTest::addColumn<QList<ClientStep>>("steps");
        QTest::addColumn<int>("restartAfterMs");
        QTest::addColumn<Timer>("state"); // Absent: no helper runs
        QTest::addColumn<int>("secondsLeft");

        const ClientStep never{ClientStep::WakeNever}, kill{ClientStep::KillHelper};
        const ClientStep in120{ClientStep::WakeIn, 120};
        using Steps = QList<ClientStep>;
        QTest::newRow("nothing to hold starts no helper")
                << Steps{never} << 0 << Timer::Absent << 0;
        QTest::newRow("a wake-up starts the helper") << Steps{in120} << 0 << Timer::Set << 120;
        QTest::newRow("nothing armed any more clears it")
                << Steps{in120, never} << 0 << Timer::Cleared << 0;
        QTest::newRow("a helper that died is started again with the time")
                << Steps{in120, kill, in120} << 0 << Timer::Set << 120;
        QTest::newRow("but not again within the minute")
                << Steps{in120, kill, in120} << 60000 << Timer::Absent << 0;
        QTest::newRow("nor for nothing") << Steps{in120, kill, never} << 0 << Timer::Absent << 0;
    }

    void client()
    {
        QFETCH(QList<ClientStep>, steps);
        QFETCH(int, restartAfterMs);
        QFETCH(Timer, state);
        QFETCH(int, secondsLeft);
        if (!wakeTimersPermitted())
            QSKIP("no wake timers permitted here");
        WakeClient client{std::chrono::milliseconds(restartAfterMs)};
        for (const ClientStep &step : steps) {
            switch (step.kind) {
            case ClientStep::WakeIn:
                client.setWakeTime(QDateTime::currentDateTime().addSecs(step.secondsAhead));
                // A running helper has read it once its timer is set.
                if (const qint64 pid = helperChild())
                    QTRY_COMPARE(wakeTimerOf(pid).first, Timer::Set);
                continue;
            case ClientStep::WakeNever:
                client.setWakeTime(std::nullopt);
                continue;
            case ClientStep::KillHelper:
                QVERIFY(helperChild() != 0);
                ::kill(pid_t(helperChild()), SIGKILL);
                // Reaped, the client has heard of the end.
                QTRY_COMPARE(helperChild(), 0);
                continue;
            }
            QFAIL("a step this test does not know");
        }
        const qint64 pid = helperChild();
        QCOMPARE(pid != 0, state != Timer::Absent);
        if (pid)
            verifyLeft(pid, state, secondsLeft);
    }
};

QTEST_GUILESS_MAIN(TestWake)
#include "tst_wake.moc"
