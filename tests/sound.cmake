# SPDX-FileCopyrightText: 2026 The Vellwake developers
# SPDX-License-Identifier: MIT
vellwake_add_test(tst_soundplayer tst_soundplayer.cpp support/FakeSoundPlatform.h)

# The SDL layer itself, heard through SDL's disk driver; each test sets the
# driver and the output file for itself.
vellwake_add_test(tst_sdlsound tst_sdlsound.cpp)
target_compile_definitions(tst_sdlsound PRIVATE VELLWAKE_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
