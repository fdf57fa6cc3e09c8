// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#pragma once

#include "sound/OutputVolumeRules.h"

#include <map>
#include <string>

// Makes a ring heard on a muted or turned-down output: the sound server's
// default sink is unmuted and lifted while the ring lasts, and the user's
// own setting is put back after, unless they changed it meanwhile. Asks the
// server afresh at each call and waits a bounded time at each step; without
// a server it does nothing. Called on the sound layer's thread.
class OutputVolume
{
public:
    // A looping sound has started (a ring), or come back on another output.
    void raiseForRing();
    // The ring has stopped: a stop, a replace by a sound that does not
    // loop, shutdown.
    void restoreAfterRing();

private:
    // Per sink name, for as long as something of the ring's stands there.
    std::map<std::string, OutputVolumeRules::Raised> m_raised;
};
