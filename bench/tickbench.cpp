// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
//
// Drives the program's main window or the reference window for the
// benchmarks that need the inside of the process:
//
//   tickbench ticks vellwake|reference N
//       N direct calls of the tick handler with the real clock; run it under
//       callgrind with --collect-atstart=no --toggle-collect=bench_run_ticks
//       so that only the ticks are counted.
//   tickbench lag vellwake|reference TURNS PERIOD_MS
//       the real 5 ms timer and event loop, with a clock that runs at real
//       speed but is set forward after each minute turn, so that a turn comes
//       every PERIOD_MS; prints the lag from each turn to the clock label's
//       new text and to its first paint.
//   tickbench paints vellwake|reference N
//       N ticks of the shown window within one minute, each followed by the
//       event loop; prints how often the clock and status labels repainted
//       (none is the goal: nothing they show has changed).
//   tickbench ring vellwake DELAY_MS [cold]
//       the real window with alarm 1 armed for a minute that comes after
//       DELAY_MS; it then rings through the real sound layer until killed.
//       The audio module loads once the window is up, as the program loads
//       it, or with "cold" only when the ring needs it.
//       Prints "turn T", T being the steady clock's seconds at the alarm
//       minute's turn, to be set against the first sample heard.
//   tickbench stall vellwake DELAY_MS SPAN_MS
//       as ring, and prints "stall_ms S": the longest the event loop went
//       without running, from 1 s before the alarm minute to SPAN_MS after
//       it. Stop the sound server before the minute to see whether the
//       window waits for it.
#include "ReferenceWindow.h"
#include "app/Form1.h"
#include "sound/SoundModuleLoader.h"
#include "ui/NotifyingCheckBox.h"
#include "ui/NotifyingLabel.h"

#include <QApplication>
#include <QLabel>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <vector>

namespace {

using Steady = std::chrono::steady_clock;

std::function<void()> g_tick;

// A clock at real speed that jumps ahead between minute turns. Turn k comes at
// steady time turn0 + k * period and shows minute k after 07:00; between two
// turns the time jumps forward within the old minute, never across a turn.
class ShortMinutes
{
public:
    ShortMinutes(Steady::time_point turn0, std::chrono::microseconds period)
        : m_turn0(turn0)
        , m_period(period)
    {
    }

    QDateTime now() const { return at(Steady::now()); }

    QDateTime at(Steady::time_point t) const
    {
        const auto sinceTurn0 = t - m_turn0 + m_period / 2;
        const auto k = std::chrono::floor<std::chrono::microseconds>(sinceTurn0) / m_period;
        const auto intoTurn = t - turn(k);
        const qint64 ms = 7 * 3600 * 1000LL + k * 60000LL
                + std::chrono::floor<std::chrono::milliseconds>(intoTurn).count();
        return QDateTime(QDate(2026, 3, 2), QTime::fromMSecsSinceStartOfDay(int(ms)));
    }

    Steady::time_point turn(qint64 k) const { return m_turn0 + k * m_period; }
    // Index of the last turn at or before t.
    qint64 lastTurn(Steady::time_point t) const
    {
        const auto d = t - m_turn0;
        return d < d.zero() ? -1 : d / m_period;
    }

private:
    Steady::time_point m_turn0;
    std::chrono::microseconds m_period;
};

double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return NAN;
    std::sort(v.begin(), v.end());
    const auto rank = size_t(std::ceil(p * double(v.size())));
    return v[std::clamp<size_t>(rank, 1, v.size()) - 1];
}

// Records when the watched label paints for the first time after a change.
class PaintWatch : public QObject
{
public:
    using QObject::QObject;
    bool armed = false;
    Steady::time_point paintedAt;
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (armed && event->type() == QEvent::Paint) {
            paintedAt = Steady::now();
            armed = false;
            done();
        }
        return false;
    }
    std::function<void()> done;
};

int runLag(QApplication &app, bool vellwake, int turns, int periodMs)
{
    // A period that is no multiple of the 5 ms tick, so that the turns fall
    // at every point between two ticks rather than always at the same one.
    const auto period = std::chrono::microseconds(periodMs * 1000LL + 1237);
    // The first turn comes after the window has had time to show.
    const ShortMinutes clock(Steady::now() + std::chrono::milliseconds(1500), period);
    std::unique_ptr<QWidget> window;
    QLabel *label = nullptr;
    if (vellwake) {
        auto form = std::make_unique<Form1>([&clock] { return clock.now(); });
        label = form->findChild<NotifyingLabel *>(QStringLiteral("Label1"));
        window = std::move(form);
    } else {
        auto ref = std::make_unique<ReferenceWindow>([&clock] { return clock.now().time(); });
        label = ref->clockLabel();
        window = std::move(ref);
    }
    if (!label)
        return 2;

    std::vector<double> writeLag, paintLag;
    qint64 pendingTurn = -1;
    PaintWatch watch;
    watch.done = [&] {
        paintLag.push_back(
                std::chrono::duration<double, std::milli>(watch.paintedAt - clock.turn(pendingTurn))
                        .count());
        if (int(paintLag.size()) >= turns)
            app.exit(0);
    };
    label->installEventFilter(&watch);
    const auto onChange = [&] {
        const auto t = Steady::now();
        const qint64 k = clock.lastTurn(t);
        if (k < 0)
            return; // the text set at start
        writeLag.push_back(std::chrono::duration<double, std::milli>(t - clock.turn(k)).count());
        pendingTurn = k;
        watch.armed = true;
    };
    if (vellwake)
        QObject::connect(static_cast<NotifyingLabel *>(label), &NotifyingLabel::changed, &app,
                         onChange);
    else
        QObject::connect(static_cast<ReferenceWindow *>(window.get()),
                         &ReferenceWindow::clockChanged, &app, onChange);
    window->show();
    QTimer::singleShot(periodMs * (turns + 3) + 5000, &app, [&app] { app.exit(3); });
    const int rc = app.exec();
    for (size_t i = 0; i < writeLag.size(); ++i)
        std::printf("lag %.3f %.3f\n", writeLag[i], i < paintLag.size() ? paintLag[i] : NAN);
    std::printf("turns %zu write_p50_ms %.3f write_p99_ms %.3f paint_p50_ms %.3f "
                "paint_p99_ms %.3f write_max_ms %.3f\n",
                writeLag.size(), percentile(writeLag, 0.5), percentile(writeLag, 0.99),
                percentile(paintLag, 0.5), percentile(paintLag, 0.99), percentile(writeLag, 1.0));
    return rc;
}

// Counts the paints of the watched widgets.
class PaintCount : public QObject
{
public:
    int paints = 0;
    bool eventFilter(QObject *, QEvent *event) override
    {
        paints += event->type() == QEvent::Paint;
        return false;
    }
};

int runPaints(QApplication &app, bool vellwake, long n)
{
    const QDateTime mid(QDate(2026, 3, 2), QTime(7, 0, 30));
    std::unique_ptr<QWidget> window;
    std::vector<QWidget *> labels;
    if (vellwake) {
        auto form = std::make_unique<Form1>([mid] { return mid; });
        g_tick = [f = form.get()] { f->Timer1_Timer(); };
        for (const char *name : {"Label1", "Label3"})
            labels.push_back(form->findChild<QWidget *>(QString::fromLatin1(name)));
        window = std::move(form);
    } else {
        auto ref = std::make_unique<ReferenceWindow>([mid] { return mid.time(); });
        g_tick = [r = ref.get()] { r->tick(); };
        ref->clockLabel()->setObjectName(QStringLiteral("clock"));
        labels.push_back(ref->clockLabel());
        window = std::move(ref);
    }
    window->show();
    QTimer::singleShot(200, &app, [&app] { app.exit(0); });
    app.exec();
    std::vector<PaintCount> counts(labels.size());
    for (size_t i = 0; i < labels.size(); ++i)
        labels[i]->installEventFilter(&counts[i]);
    for (long i = 0; i < n; ++i) {
        g_tick();
        QCoreApplication::processEvents();
    }
    for (size_t i = 0; i < labels.size(); ++i)
        std::printf("paints %s %d over %ld ticks\n", qPrintable(labels[i]->objectName()),
                    counts[i].paints, n);
    return 0;
}

// The real window, armed as the Set Alarms window arms a slot, with a clock
// that reaches the alarm minute after delayMs; it rings on until killed, or
// with spanMs, ends that long after the minute and prints the longest stall.
int runRing(QApplication &app, int delayMs, bool cold, int spanMs = 0)
{
    const auto start = Steady::now() + std::chrono::milliseconds(delayMs);
    std::printf("turn %.6f\n", std::chrono::duration<double>(start.time_since_epoch()).count());
    std::fflush(stdout);
    const QDateTime due(QDate(2026, 3, 2), QTime(7, 0));
    Form1 form([start, due] {
        return due.addMSecs(
                std::chrono::floor<std::chrono::milliseconds>(Steady::now() - start).count());
    });
    auto *slot = form.findChild<NotifyingCheckBox *>(QStringLiteral("Check1"));
    if (!slot)
        return 2;
    slot->setText(QStringLiteral("7:00 AM"));
    slot->setEnabled(true);
    slot->setValue(1);
    form.show();
    if (!cold)
        QTimer::singleShot(0, &form, [] { SoundModuleLoader::loadInBackground(); });
    // A 1 ms timer runs whenever the event loop does; the longest gap between
    // two of its runs is the longest the window could not answer.
    QTimer beat;
    double longest = 0;
    Steady::time_point last = start - std::chrono::seconds(1);
    if (spanMs > 0) {
        beat.setTimerType(Qt::PreciseTimer);
        QObject::connect(&beat, &QTimer::timeout, &app, [&] {
            const auto now = Steady::now();
            if (now >= start - std::chrono::seconds(1))
                longest = std::max(longest,
                                   std::chrono::duration<double, std::milli>(now - last).count());
            last = now;
            if (now >= start + std::chrono::milliseconds(spanMs))
                app.exit(0);
        });
        beat.start(1);
    }
    const int rc = app.exec();
    if (spanMs > 0) {
        std::printf("stall_ms %.1f\n", longest);
        std::fflush(stdout);
        // A sound layer that waits for a hung server could hold the exit.
        std::_Exit(rc);
    }
    return rc;
}

} // namespace

// Its own symbol, so that callgrind can count exactly these calls.
extern "C" Q_DECL_EXPORT __attribute__((noinline)) void bench_run_ticks(long n)
{
    for (long i = 0; i < n; ++i)
        g_tick();
}

int main(int argc, char *argv[])
{
    if (argc < 4) {
        std::fputs("usage: tickbench ticks vellwake|reference N\n"
                   "       tickbench lag vellwake|reference TURNS PERIOD_MS\n"
                   "       tickbench paints vellwake|reference N\n"
                   "       tickbench ring vellwake DELAY_MS [cold]\n"
                   "       tickbench stall vellwake DELAY_MS SPAN_MS\n",
                   stderr);
        return 2;
    }
    QApplication app(argc, argv);
    const bool vellwake = std::strcmp(argv[2], "vellwake") == 0;
    if (std::strcmp(argv[1], "ring") == 0)
        return runRing(app, std::atoi(argv[3]), argc > 4 && std::strcmp(argv[4], "cold") == 0);
    if (std::strcmp(argv[1], "stall") == 0 && argc >= 5)
        return runRing(app, std::atoi(argv[3]), false, std::atoi(argv[4]));
    if (std::strcmp(argv[1], "paints") == 0)
        return runPaints(app, vellwake, std::atol(argv[3]));
    if (std::strcmp(argv[1], "lag") == 0 && argc >= 5)
        return runLag(app, vellwake, std::atoi(argv[3]), std::atoi(argv[4]));

    const long n = std::atol(argv[3]);
    std::unique_ptr<QWidget> window;
    if (vellwake) {
        auto form = std::make_unique<Form1>();
        g_tick = [f = form.get()] { f->Timer1_Timer(); };
        window = std::move(form);
    } else {
        auto ref = std::make_unique<ReferenceWindow>();
        g_tick = [r = ref.get()] { r->tick(); };
        window = std::move(ref);
    }
    window->show();
    // Let the window paint once, so the ticks meet it as the user's would.
    // exit(), not quit(): quitting closes the window, which asks to confirm.
    QTimer::singleShot(200, &app, [&app] { app.exit(0); });
    app.exec();
    g_tick(); // the first call after showing may still lay out
    bench_run_ticks(n);
    std::printf("ticks %ld\n", n);
    return 0;
}
