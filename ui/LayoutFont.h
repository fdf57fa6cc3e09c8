// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#pragma once

// The windows are laid out for "MS Sans Serif", which is rarely installed
// outside Windows; a plain sans with similar proportions stands in for it.
// Call before the first window is built.
void substituteLayoutFont();
