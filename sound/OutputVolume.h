// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#pragma once

// The default output's volume around a ring: the player raises it when a
// ring starts (or comes back on another output) and puts the user's setting
// back when the ring stops.
class OutputVolume
{
public:
    void raiseForRing();
    void restoreAfterRing();
};
