# SPDX-FileCopyrightText: 2026 The Vellwake developers
# SPDX-License-Identifier: MIT
vellwake_add_test(tst_tick tst_tick.cpp support/FakeSoundPlatform.h support/TestClock.h)
