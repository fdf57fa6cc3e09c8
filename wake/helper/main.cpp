// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
//
// vellwake-wake: holds the one timer that may wake the computer from sleep,
// so that the window itself needs no privilege. Each line on standard input
// is a second since the epoch (UTC) to wake at, or "none"; other lines are
// ignored. The end of input ends it, and the timer with it.
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include <poll.h>
#include <sys/timerfd.h>
#include <unistd.h>

namespace {

constexpr int noPermission = 3;
constexpr std::size_t maxLine = 4096;

// 0 clears the timer.
void arm(int timer, long long at)
{
    itimerspec value{};
    value.it_value.tv_sec = at;
    // A wall clock that is set later cancels the wait, so it can be taken
    // up again against the new time.
    timerfd_settime(timer, at ? TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET : 0, &value, nullptr);
}

// A whole line of digits is a time; "none" clears it; anything else is not
// understood and changes nothing.
bool parse(std::string_view line, long long &at)
{
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    if (line == "none") {
        at = 0;
        return true;
    }
    long long secs = 0;
    const auto [end, ec] = std::from_chars(line.data(), line.data() + line.size(), secs);
    if (line.empty() || line.front() == '-' || ec != std::errc() || end != line.data() + line.size()
        || secs <= 0)
        return false;
    at = secs;
    return true;
}

} // namespace

int main()
{
    const int timer = timerfd_create(CLOCK_REALTIME_ALARM, TFD_CLOEXEC);
    if (timer < 0) {
        if (errno == EPERM) {
            std::fputs("vellwake-wake: no permission to wake the computer (needs cap_wake_alarm)\n",
                       stderr);
            return noPermission;
        }
        std::fprintf(stderr, "vellwake-wake: cannot make a wake timer: %s\n", std::strerror(errno));
        return 1;
    }

    long long at = 0;
    std::string pending;
    bool overlong = false; // within a line that was too long to keep
    pollfd fds[2] = {{STDIN_FILENO, POLLIN, 0}, {timer, POLLIN, 0}};
    for (;;) {
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return 1;
        }
        if (fds[1].revents & POLLIN) {
            std::uint64_t expirations = 0;
            // It rang: the machine is awake and the window does the rest.
            if (read(timer, &expirations, sizeof expirations) < 0 && errno == ECANCELED)
                arm(timer, at);
        }
        if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) {
            char buffer[512];
            const ssize_t n = read(STDIN_FILENO, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return 0;
            pending.append(buffer, std::size_t(n));
            for (std::size_t eol; (eol = pending.find('\n')) != std::string::npos;) {
                if (!overlong && parse(std::string_view(pending).substr(0, eol), at))
                    arm(timer, at);
                overlong = false;
                pending.erase(0, eol + 1);
            }
            // Nobody sends lines this long: the rest of one, up to its
            // newline, is dropped with it rather than read as a line.
            if (pending.size() > maxLine) {
                pending.clear();
                overlong = true;
            }
        }
    }
}
