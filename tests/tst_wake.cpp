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
#include <QTest>

#include <sys/timerfd.h>
#include <csignal>
#include <ctime>
#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {

// TZ for the test's duration, whatever fails.
class ZoneGuard
{
public:
    explicit ZoneGuard(const QByteArray &zone)
        : m_old(qgetenv("TZ"))
        , m_hadOld(qEnvironmentVariableIsSet("TZ"))
    {
        qputenv("TZ", zone);
        tzset();
    }
    ~ZoneGuard()
    {
        if (m_hadOld)
            qputenv("TZ", m_old);
        else
            qunsetenv("TZ");
        tzset();
    }
    ZoneGuard(const ZoneGuard &) = delete;
    ZoneGuard &operator=(const ZoneGuard &) = delete;

private:
    QByteArray m_old;
    bool m_hadOld;
};

const QByteArray berlin = "Europe/Berlin";
const QByteArray newYork = "America/New_York";

// A local time of 2026 as the clock of a zone shows it, with the offset it
// has then: in an hour that summer time's end repeats, the offset tells
// which of the two showings is meant.
QDateTime shown(int month, int day, QTime time, int offsetHours)
{
    return QDateTime(QDate(2026, month, day), time, Qt::OffsetFromUTC, offsetHours * 3600);
}

QString proc(qint64 pid, const QString &name)
{
    QFile file(u"/proc/%1/%2"_s.arg(pid).arg(name));
    return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()) : QString();
}

// What the wake timer of a helper process shows.
struct WakeTimer
{
    enum State { Absent, Cleared, Set };
    State state = Absent;
    int secondsLeft = 0;
};

// A cleared timer goes on showing its old time left; the flags of its last
// setting tell.
WakeTimer wakeTimerOf(qint64 pid)
{
    static const QRegularExpression timer(u"clockid: 8\n.*flags: (\\d+)\nit_value: \\((\\d+),"_s,
                                          QRegularExpression::DotMatchesEverythingOption);
    for (const QString &fd : QDir(u"/proc/%1/fdinfo"_s.arg(pid)).entryList(QDir::Files)) {
        const auto m = timer.match(proc(pid, u"fdinfo/"_s + fd));
        if (!m.hasMatch())
            continue;
        if (m.captured(1).toInt() == 0)
            return {WakeTimer::Cleared, 0};
        return {WakeTimer::Set, m.captured(2).toInt()};
    }
    return {};
}

// The wake-up helper this process started, or 0; one that has ended counts
// until it is reaped.
qint64 helperChild()
{
    const QString self = QString::number(QCoreApplication::applicationPid());
    for (const QString &pid : QDir(u"/proc"_s).entryList({u"[0-9]*"_s}, QDir::Dirs)) {
        // "pid (comm) state ppid ..."
        const QString stat = proc(pid.toLongLong(), u"stat"_s);
        const qsizetype close = stat.lastIndexOf(u')');
        const QStringList fields = stat.mid(close + 2).split(u' ');
        if (stat.contains(u"(vellwake-wake)"_s) && fields.size() > 1 && fields[1] == self)
            return pid.toLongLong();
    }
    return 0;
}

bool wakeTimersPermitted()
{
    const int probe = timerfd_create(CLOCK_REALTIME_ALARM, TFD_CLOEXEC);
    if (probe < 0)
        return false;
    close(probe);
    return true;
}

QByteArray wakeLine(int secondsAhead)
{
    return QByteArray::number(QDateTime::currentSecsSinceEpoch() + secondsAhead) + '\n';
}

// What the client is asked in a row, in order.
struct ClientStep
{
    enum Kind { WakeIn, WakeNever, KillHelper };
    Kind kind;
    int secondsAhead = 0;
};

} // namespace

Q_DECLARE_METATYPE(WakeTimer::State)
Q_DECLARE_METATYPE(ClientStep)

class TestWake : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void nextDueMinute_data()
    {
        QTest::addColumn<QByteArray>("zone");
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<QStringList>("armed");
        QTest::addColumn<QString>("snooze");
        QTest::addColumn<QDateTime>("expected"); // invalid: no wake-up

        const QString noSnooze;
        const QDateTime none;
        QTest::newRow("slot later today")
                << berlin << shown(3, 2, {6, 0}, 1) << QStringList{u"7:05 AM"_s} << noSnooze
                << shown(3, 2, {7, 5}, 1);
        QTest::newRow("armed in its own minute: tomorrow")
                << berlin << shown(3, 2, {7, 5, 30}, 1) << QStringList{u"7:05 AM"_s} << noSnooze
                << shown(3, 3, {7, 5}, 1);
        QTest::newRow("the earlier of two slots")
                << berlin << shown(3, 2, {8, 0}, 1) << QStringList{u"7:05 AM"_s, u"9:30 PM"_s}
                << noSnooze << shown(3, 2, {21, 30}, 1);
        QTest::newRow("12 AM is after midnight")
                << berlin << shown(3, 2, {23, 50}, 1) << QStringList{u"12:10 AM"_s} << noSnooze
                << shown(3, 3, {0, 10}, 1);
        QTest::newRow("12 PM is after noon")
                << berlin << shown(3, 2, {8, 0}, 1) << QStringList{u"12:10 PM"_s} << noSnooze
                << shown(3, 2, {12, 10}, 1);
        QTest::newRow("a snooze across midnight")
                << berlin << shown(3, 2, {23, 51}, 1) << QStringList{u"11:50 PM"_s} << u"12:05 AM"_s
                << shown(3, 3, {0, 5}, 1);
        QTest::newRow("a slot before the snooze")
                << berlin << shown(3, 2, {6, 55}, 1) << QStringList{u"7:05 AM"_s} << u"7:10 AM"_s
                << shown(3, 2, {7, 5}, 1);
        QTest::newRow("nothing armed")
                << berlin << shown(3, 2, {6, 55}, 1) << QStringList{} << noSnooze << none;
        QTest::newRow("captions that never ring")
                << berlin << shown(3, 2, {6, 55}, 1) << QStringList{u"07:05 AM"_s, u"7:5 AM"_s}
                << noSnooze << none;
        QTest::newRow("a minute summer time skips: the day after")
                << berlin << shown(3, 29, {1, 0}, 1) << QStringList{u"2:30 AM"_s} << noSnooze
                << shown(3, 30, {2, 30}, 2);
        QTest::newRow("the hour summer time's end repeats: first showing")
                << berlin << shown(10, 25, {1, 0}, 2) << QStringList{u"2:30 AM"_s} << noSnooze
                << shown(10, 25, {2, 30}, 2);
        QTest::newRow("the hour summer time's end repeats: second showing")
                << berlin << shown(10, 25, {2, 45}, 2) << QStringList{u"2:30 AM"_s} << noSnooze
                << shown(10, 25, {2, 30}, 1);
        QTest::newRow("tomorrow, across the spring change in another zone")
                << newYork << shown(3, 7, {20, 0}, -5) << QStringList{u"7:05 AM"_s} << noSnooze
                << shown(3, 8, {7, 5}, -4);
        QTest::newRow("a skipped minute in another zone")
                << newYork << shown(3, 8, {1, 59, 30}, -5) << QStringList{u"2:15 AM"_s} << noSnooze
                << shown(3, 9, {2, 15}, -4);
        QTest::newRow("a snooze in the repeated hour")
                << newYork << shown(11, 1, {1, 50}, -4) << QStringList{u"1:30 AM"_s} << u"1:05 AM"_s
                << shown(11, 1, {1, 5}, -5);
        QTest::newRow("armed in its second showing")
                << newYork << shown(11, 1, {1, 10, 20}, -5) << QStringList{u"1:10 AM"_s} << noSnooze
                << shown(11, 2, {1, 10}, -5);
    }

    void nextDueMinute()
    {
        QFETCH(QByteArray, zone);
        QFETCH(QDateTime, now);
        QFETCH(QStringList, armed);
        QFETCH(QString, snooze);
        QFETCH(QDateTime, expected);
        const ZoneGuard guard(zone);
        const std::optional<QDateTime> got = ::nextDueMinute(now, armed, snooze);
        QCOMPARE(got.has_value(), expected.isValid());
        if (got)
            QCOMPARE(*got, expected);
    }

    // The helper, driven by its line protocol as the program drives it.
    void helperProtocol_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<WakeTimer::State>("state");
        QTest::addColumn<int>("secondsLeft");

        // Digits that would read as a wake-up a minute away, were they not
        // the tail of a line too long to keep.
        const QByteArray overlong = QByteArray(5000, '0') + wakeLine(60);
        QTest::newRow("a minute ahead") << wakeLine(60) << WakeTimer::Set << 60;
        QTest::newRow("a later line replaces it")
                << wakeLine(60) + wakeLine(300) << WakeTimer::Set << 300;
        QTest::newRow("none clears it") << wakeLine(60) + "none\n" << WakeTimer::Cleared << 0;
        QTest::newRow("a line ending in CR LF")
                << wakeLine(90).replace('\n', "\r\n") << WakeTimer::Set << 90;
        QTest::newRow("malformed lines are ignored") << wakeLine(60) + "7:05 AM\n-5\n0\n12x\n\n"
                                                     << WakeTimer::Set << 60;
        QTest::newRow("it arms again after none")
                << "none\n" + wakeLine(90) << WakeTimer::Set << 90;
        QTest::newRow("a line too long is dropped whole")
                << wakeLine(300) + overlong << WakeTimer::Set << 300;
        QTest::newRow("the line after a long one counts")
                << wakeLine(300) + overlong + wakeLine(90) << WakeTimer::Set << 90;
    }

    void helperProtocol()
    {
        QFETCH(QByteArray, input);
        QFETCH(WakeTimer::State, state);
        QFETCH(int, secondsLeft);
        if (!wakeTimersPermitted())
            QSKIP(qPrintable(u"no wake timers permitted here: "_s + qt_error_string()));
        QProcess helper;
        helper.setProcessChannelMode(QProcess::ForwardedChannels);
        helper.start(QStringLiteral(VELLWAKE_WAKE_HELPER));
        QVERIFY(helper.waitForStarted());
        const qint64 pid = helper.processId();
        // Its first line: "rchar: N", the bytes it has read.
        const auto bytesRead
                = [&] { return proc(pid, u"io"_s).section(u'\n', 0, 0).mid(7).toLongLong(); };
        // Once its timer exists the helper reads nothing but its input.
        QTRY_VERIFY(wakeTimerOf(pid).state != WakeTimer::Absent);
        const qint64 before = bytesRead();
        helper.write(input);
        QTRY_COMPARE(bytesRead(), before + input.size());
        const WakeTimer timer = wakeTimerOf(pid);
        QCOMPARE(timer.state, state);
        if (state == WakeTimer::Set)
            QVERIFY2(timer.secondsLeft <= secondsLeft && timer.secondsLeft >= secondsLeft - 3,
                     qPrintable(u"%1 s left"_s.arg(timer.secondsLeft)));
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
    // starts it again, with the time of now, when it dies, but not more
    // than once within the restart interval.
    void client_data()
    {
        QTest::addColumn<QList<ClientStep>>("steps");
        QTest::addColumn<int>("restartAfterMs");
        QTest::addColumn<bool>("helperRuns");
        QTest::addColumn<WakeTimer::State>("state");
        QTest::addColumn<int>("secondsLeft");

        const ClientStep never{ClientStep::WakeNever};
        const ClientStep kill{ClientStep::KillHelper};
        const auto in = [](int seconds) { return ClientStep{ClientStep::WakeIn, seconds}; };
        QTest::newRow("nothing to hold starts no helper")
                << QList<ClientStep>{never} << 0 << false << WakeTimer::Absent << 0;
        QTest::newRow("a wake-up starts the helper")
                << QList<ClientStep>{in(120)} << 0 << true << WakeTimer::Set << 120;
        QTest::newRow("nothing armed any more clears it")
                << QList<ClientStep>{in(120), never} << 0 << true << WakeTimer::Cleared << 0;
        QTest::newRow("a helper that died is started again with the time")
                << QList<ClientStep>{in(120), kill, in(120)} << 0 << true << WakeTimer::Set << 120;
        QTest::newRow("but not again within the minute")
                << QList<ClientStep>{in(120), kill, in(120)} << 60000 << false << WakeTimer::Absent
                << 0;
        QTest::newRow("a helper that died is not started for nothing")
                << QList<ClientStep>{in(120), kill, never} << 0 << false << WakeTimer::Absent << 0;
    }

    void client()
    {
        QFETCH(QList<ClientStep>, steps);
        QFETCH(int, restartAfterMs);
        QFETCH(bool, helperRuns);
        QFETCH(WakeTimer::State, state);
        QFETCH(int, secondsLeft);
        if (!wakeTimersPermitted())
            QSKIP(qPrintable(u"no wake timers permitted here: "_s + qt_error_string()));
        WakeClient client{std::chrono::milliseconds(restartAfterMs)};
        for (const ClientStep &step : steps) {
            switch (step.kind) {
            case ClientStep::WakeIn:
                client.setWakeTime(QDateTime::currentDateTime().addSecs(step.secondsAhead));
                // A running helper has read it once its timer is set.
                if (const qint64 pid = helperChild())
                    QTRY_COMPARE(wakeTimerOf(pid).state, WakeTimer::Set);
                continue;
            case ClientStep::WakeNever:
                client.setWakeTime(std::nullopt);
                continue;
            case ClientStep::KillHelper: {
                const qint64 pid = helperChild();
                QVERIFY(pid != 0);
                ::kill(pid_t(pid), SIGKILL);
                // Reaped, the client has heard of the end.
                QTRY_COMPARE(helperChild(), 0);
                continue;
            }
            }
            QFAIL("a step this test does not know");
        }
        const qint64 pid = helperChild();
        QCOMPARE(pid != 0, helperRuns);
        if (!helperRuns)
            return;
        QTRY_COMPARE(wakeTimerOf(pid).state, state);
        if (state == WakeTimer::Set) {
            const int left = wakeTimerOf(pid).secondsLeft;
            QVERIFY2(left <= secondsLeft && left >= secondsLeft - 3,
                     qPrintable(u"%1 s left"_s.arg(left)));
        }
    }
};

QTEST_GUILESS_MAIN(TestWake)
#include "tst_wake.moc"
