# SPDX-FileCopyrightText: 2026 The Vellwake developers
# SPDX-License-Identifier: MIT
# End to end: the real program on a private display, buses, sound server and
# clock, one test per row. The accessibility bindings come with Debian's python.
find_program(VELLWAKE_E2E_PYTHON python3 PATHS /usr/bin NO_DEFAULT_PATH REQUIRED)
set(scenarios ${CMAKE_CURRENT_SOURCE_DIR}/e2e/scenarios.py)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${scenarios})
execute_process(COMMAND ${VELLWAKE_E2E_PYTHON} ${scenarios} --list
                OUTPUT_VARIABLE rows OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
foreach(row IN LISTS rows)
    add_test(NAME e2e_${row} COMMAND ${VELLWAKE_E2E_PYTHON} ${scenarios}
                                     $<TARGET_FILE:vellwake> ${CMAKE_BINARY_DIR}/e2e-artefacts ${row})
    # Generous: the sanitizer build is several times slower.
    set_tests_properties(e2e_${row} PROPERTIES TIMEOUT 600 LABELS e2e)
endforeach()

# Test code the rows preload into the program, to ask its windows for another
# state as their title bars do; the program never links it.
add_library(vellwake_window_requests SHARED e2e/window_requests.cpp)
set_target_properties(vellwake_window_requests PROPERTIES PREFIX "" OUTPUT_NAME vellwake-window-requests)
target_link_libraries(vellwake_window_requests PRIVATE Qt6::Gui)
