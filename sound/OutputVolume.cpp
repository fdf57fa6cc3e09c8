// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#include "sound/OutputVolume.h"

// The output is left as the user set it, for now.
void OutputVolume::raiseForRing() { }

void OutputVolume::restoreAfterRing() { }
