# SPDX-FileCopyrightText: 2026 The Vellwake developers
# SPDX-License-Identifier: MIT
vellwake_add_test(tst_soundplayer tst_soundplayer.cpp support/FakeSoundPlatform.h)

# The SDL layer itself, heard through SDL's disk driver; each test sets the
# driver and the output file for itself.
vellwake_add_test(tst_sdlsound tst_sdlsound.cpp)
target_compile_definitions(tst_sdlsound PRIVATE VELLWAKE_SOURCE_DIR="${PROJECT_SOURCE_DIR}")

# End to end: what reaches a real sound server's output.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
add_executable(sound_loop_player audio/sound_loop_player.cpp)
target_link_libraries(sound_loop_player PRIVATE vellwake_core)
add_test(NAME tst_sound_pulse_loop
    COMMAND Python3::Interpreter ${CMAKE_CURRENT_SOURCE_DIR}/audio/pulse_loop_check.py
            $<TARGET_FILE:sound_loop_player>)
# Alone: on two busy cores (the sanitizer build next to the fuzz test) the
# sound server's recording itself can drop a buffer, which reads as a gap.
set_tests_properties(tst_sound_pulse_loop PROPERTIES
    ENVIRONMENT "${VELLWAKE_TEST_ENV}" TIMEOUT 90 RUN_SERIAL TRUE)

# Timings of stop, replace and a waiting play on the device at hand.
if(VELLWAKE_BUILD_BENCH)
    add_executable(sound_latency audio/sound_latency.cpp)
    target_link_libraries(sound_latency PRIVATE vellwake_core)
endif()
