# SPDX-FileCopyrightText: 2026 The Vellwake developers
# SPDX-License-Identifier: MIT
vellwake_add_test(tst_timefields tst_timefields.cpp tst_timefields_helpers.h)
vellwake_add_test(tst_form2 tst_form2.cpp tst_timefields_helpers.h
    support/FakeSoundPlatform.h support/TestClock.h)
vellwake_add_test(tst_timefields_fuzz tst_timefields_fuzz.cpp tst_timefields_helpers.h
    support/FakeSoundPlatform.h support/TestClock.h)
