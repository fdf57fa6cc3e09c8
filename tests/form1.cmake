# SPDX-FileCopyrightText: 2026 The Vellwake developers
# SPDX-License-Identifier: MIT
vellwake_add_test(tst_widgets tst_widgets.cpp)
vellwake_add_test(tst_form1 tst_form1.cpp support/FakeSoundPlatform.h support/TestClock.h)
