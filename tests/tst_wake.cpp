// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#include "base/DueMinute.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <sys/timerfd.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// name | zone | now | armed captions | snooze | wake-up (none when empty);
// B is Berlin, Y New York; times are 2026, local with their offset.
const auto wakeTable = uR"(
slot later today               |B|03-02T06:00+01:00   |7:05 AM         |        |03-02T07:05+01:00
armed in its own minute        |B|03-02T07:05:30+01:00|7:05 AM         |        |03-03T07:05+01:00
earlier of two slots           |B|03-02T08:00+01:00   |7:05 AM,9:30 PM |        |03-02T21:30+01:00
12 AM is after midnight        |B|03-02T23:50+01:00   |12:10 AM        |        |03-03T00:10+01:00
12 PM is after noon            |B|03-02T08:00+01:00   |12:10 PM        |        |03-02T12:10+01:00
snooze across midnight         |B|03-02T23:51+01:00   |11:50 PM        |12:05 AM|03-03T00:05+01:00
slot before the snooze         |B|03-02T06:55+01:00   |7:05 AM         |7:10 AM |03-02T07:05+01:00
nothing armed                  |B|03-02T06:55+01:00   |                |        |
captions that never ring       |B|03-02T06:55+01:00   |07:05 AM,7:5 AM |        |
skipped minute: the day after  |B|03-29T01:00+01:00   |2:30 AM         |        |03-30T02:30+02:00
repeated hour: first showing   |B|10-25T01:00+02:00   |2:30 AM         |        |10-25T02:30+02:00
repeated hour: second showing  |B|10-25T02:45+02:00   |2:30 AM         |        |10-25T02:30+01:00
tomorrow across spring change  |Y|03-07T20:00-05:00   |7:05 AM         |        |03-08T07:05-04:00
skipped minute, other zone     |Y|03-08T01:59:30-05:00|2:15 AM         |        |03-09T02:15-04:00
snooze in the repeated hour    |Y|11-01T01:50-04:00   |1:30 AM         |1:05 AM |11-01T01:05-05:00
armed in its second showing    |Y|11-01T01:10:20-05:00|1:10 AM         |        |11-02T01:10-05:00
)"_s;

QString proc(qint64 pid, const QString &name)
{
    QFile file(u"/proc/%1/%2"_s.arg(pid).arg(name));
    return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()) : QString();
}

// The helper's wake timer as the kernel shows it: seconds left, -1 when
// cleared (the old time stays shown then; the flags tell), -2 when absent.
int timeLeft(qint64 pid)
{
    static const QRegularExpression timer(u"clockid: 8\n.*flags: (\\d+)\nit_value: \\((\\d+),"_s,
                                          QRegularExpression::DotMatchesEverythingOption);
    for (const QString &fd : QDir(u"/proc/%1/fdinfo"_s.arg(pid)).entryList(QDir::Files))
        if (const auto m = timer.match(proc(pid, u"fdinfo/"_s + fd)); m.hasMatch())
            return m.captured(1).toInt() == 0 ? -1 : m.captured(2).toInt();
    return -2;
}

} // namespace

class TestWake : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void nextWakeTime_data()
    {
        QTest::addColumn<QStringList>("f"); // the table's fields
        for (const QString &line : wakeTable.split(u'\n', Qt::SkipEmptyParts)) {
            const QStringList f = line.trimmed().split(QRegularExpression(u"\\s*\\|\\s*"_s));
            QTest::newRow(qPrintable(f[0])) << f;
        }
    }

    void nextWakeTime()
    {
        QFETCH(QStringList, f);
        qputenv("TZ", f[1] == u"B" ? "Europe/Berlin" : "America/New_York");
        tzset();
        auto at = [](const QString &t) { return QDateTime::fromString("2026-" + t, Qt::ISODate); };
        const auto got = nextDueMinute(at(f[2]), f[3].split(u',', Qt::SkipEmptyParts), f[4]);
        QCOMPARE(got.value_or(QDateTime()), at(f[5])); // invalid: none
    }

    void helperProtocol_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<int>("left"); // -1: cleared
        const auto in = [](int secs) {
            return QByteArray::number(QDateTime::currentSecsSinceEpoch() + secs) + '\n';
        };
        QTest::newRow("a minute ahead") << in(60) << 60;
        QTest::newRow("a later line replaces it") << in(60) + in(300) << 300;
        QTest::newRow("none clears it") << in(60) + "none\n" << -1;
        QTest::newRow("malformed lines ignored") << in(60) + "7:05 AM\n-5\n12x\n\n" << 60;
        QTest::newRow("arms again after none") << "none\n" + in(90) << 90;
    }

    void helperProtocol()
    {
        QFETCH(QByteArray, input);
        QFETCH(int, left);
        if (const int probe = timerfd_create(CLOCK_REALTIME_ALARM, TFD_CLOEXEC); probe >= 0)
            close(probe);
        else
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
        QTRY_VERIFY(timeLeft(pid) != -2);
        const qint64 before = bytesRead();
        helper.write(input);
        QTRY_COMPARE(bytesRead(), before + input.size());
        const int got = timeLeft(pid);
        QVERIFY(left < 0 ? got == -1 : got <= left && got >= left - 2);
        helper.closeWriteChannel();
        QVERIFY(helper.waitForFinished());
        QCOMPARE(helper.exitCode(), 0);
    }
};

QTEST_GUILESS_MAIN(TestWake)
#include "tst_wake.moc"
