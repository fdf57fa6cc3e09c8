# SPDX-FileCopyrightText: 2026 The Vellwake developers
# SPDX-License-Identifier: MIT
vellwake_add_test(tst_soundplayer tst_soundplayer.cpp support/FakeSoundPlatform.h)

# The SDL layer itself, heard through SDL's disk driver; each test sets the
# driver and the output file for itself.
vellwake_add_test(tst_sdlsound tst_sdlsound.cpp)
target_compile_definitions(tst_sdlsound PRIVATE VELLWAKE_SOURCE_DIR="${PROJECT_SOURCE_DIR}")

# Timings of stop, replace and a waiting play on the device at hand.
if(VELLWAKE_BUILD_BENCH)
    add_executable(sound_latency audio/sound_latency.cpp)
    target_link_libraries(sound_latency PRIVATE vellwake_core)
endif()
