# SPDX-FileCopyrightText: 2026 The Vellwake developers
# SPDX-License-Identifier: MIT
if(NOT WIN32)
    vellwake_add_test(tst_wake tst_wake.cpp)
    add_dependencies(tst_wake vellwake-wake)
    target_compile_definitions(tst_wake PRIVATE VELLWAKE_WAKE_HELPER="$<TARGET_FILE:vellwake-wake>")
endif()
