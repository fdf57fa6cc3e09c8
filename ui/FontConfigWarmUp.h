// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#pragma once

#include <thread>

// Reading the system's font configuration is the longest step of building
// the main window, and it needs nothing the application object sets up. This
// reads it on a thread of its own while the application connects to the
// display; wait() before the first window is built. Where fonts come from
// elsewhere than fontconfig, it does nothing.
class FontConfigWarmUp
{
public:
    FontConfigWarmUp();
    ~FontConfigWarmUp() { wait(); }
    FontConfigWarmUp(const FontConfigWarmUp &) = delete;
    FontConfigWarmUp &operator=(const FontConfigWarmUp &) = delete;

    void wait()
    {
        if (m_thread.joinable())
            m_thread.join();
    }

private:
    std::thread m_thread;
};
