# SPDX-FileCopyrightText: 2026 The Vellwake developers
# SPDX-License-Identifier: MIT
vellwake_add_test(tst_timefields tst_timefields.cpp tst_timefields_helpers.h)
