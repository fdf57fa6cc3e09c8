// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#include "wake/WaitableTimer.h"

#include <windows.h>

namespace {

// FILETIME counts 100 ns steps from 1601-01-01 UTC.
constexpr long long secsFrom1601To1970 = 11644473600LL;
constexpr long long ticksPerSec = 10000000LL;

} // namespace

WaitableTimer::WaitableTimer()
    : m_handle(CreateWaitableTimerW(nullptr, TRUE, nullptr))
{
}

WaitableTimer::~WaitableTimer()
{
    if (m_handle)
        CloseHandle(m_handle);
}

bool WaitableTimer::set(std::optional<long long> epochSecs, std::string &why)
{
    if (!m_handle) {
        why = "no waitable timer could be made";
        return false;
    }
    if (!epochSecs) {
        CancelWaitableTimer(m_handle);
        return true;
    }
    LARGE_INTEGER due;
    // A positive due time is absolute, in UTC.
    due.QuadPart = (*epochSecs + secsFrom1601To1970) * ticksPerSec;
    SetLastError(ERROR_SUCCESS);
    if (!SetWaitableTimer(m_handle, &due, 0, nullptr, nullptr, TRUE)) {
        why = "the wake timer could not be set";
        return false;
    }
    // The timer is set all the same, but it will not resume the computer.
    if (GetLastError() == ERROR_NOT_SUPPORTED) {
        why = "this computer does not support wake timers";
        return false;
    }
    return true;
}
