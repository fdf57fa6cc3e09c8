# SPDX-FileCopyrightText: 2026 The Vellwake developers
# SPDX-License-Identifier: MIT
# End-to-end scenarios: the real vellwake binary on a private X server with
# its own session and accessibility buses, sound server and settable clock.
# The accessibility bindings come with Debian's own interpreter.
find_program(VELLWAKE_E2E_PYTHON python3 PATHS /usr/bin NO_DEFAULT_PATH)
if(NOT VELLWAKE_E2E_PYTHON)
    find_program(VELLWAKE_E2E_PYTHON python3 REQUIRED)
endif()

set(VELLWAKE_E2E_SCENARIOS
    smoke about clock dst_display accessibility_main hidpi_1 hidpi_1.5 hidpi_2
    ring_snooze_disarm both_alarms due_while_setting close_while_ringing clock_jumps
    snooze_over_midnight dst_spring_forward dst_fall_back
    bad_sound_files no_audio_device sound_server_restart huge_sound_file keyboard_and_paste
    keyboard_only accessibility_set_alarms)

foreach(scenario IN LISTS VELLWAKE_E2E_SCENARIOS)
    add_test(NAME e2e_${scenario}
             COMMAND ${VELLWAKE_E2E_PYTHON} ${CMAKE_CURRENT_SOURCE_DIR}/e2e/scenarios.py
                     $<TARGET_FILE:vellwake> ${CMAKE_BINARY_DIR}/e2e-artefacts ${scenario})
    set_tests_properties(e2e_${scenario} PROPERTIES TIMEOUT 300 LABELS e2e)
endforeach()
