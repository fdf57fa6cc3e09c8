# SPDX-FileCopyrightText: 2026 The Vellwake developers
# SPDX-License-Identifier: MIT
vellwake_add_test(tst_assets tst_assets.cpp)
# The desktop icons live in the source tree, not in the resources.
target_compile_definitions(tst_assets PRIVATE VELLWAKE_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
