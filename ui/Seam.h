// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#pragma once

// The stand-in a test has put in front of a platform service, one per
// handler type; empty while the real service is used.
template<typename Handler> Handler &seamHandler()
{
    static Handler handler;
    return handler;
}
