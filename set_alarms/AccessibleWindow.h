// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#pragma once

// A plain widget window reads to a screen reader as an unnamed filler; this
// makes it a window named by its title. Safe to call more than once.
void exposeAsWindowToAccessibility();
