#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Vellwake developers
# SPDX-License-Identifier: MIT
#
# Regenerates the program's pictures from assets/make_images.cpp:
#   assets/app.ico                  the application icon, five images
#   assets/app_icon/*.bin           the same images as Windows resources
#   assets/icons/<N>x<N>.png     the same icon for the desktop menu
#   assets/background.jpg, @2x      the cloudy background, 400x200 and 800x400
# Needs a C++ compiler and the Qt 6 development files (tools/packages/run.txt).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# shellcheck disable=SC2046 # pkg-config prints several flags on purpose
c++ -std=c++20 -O2 -fPIC -Wall -Wextra -o "$work/make_images" "$root/assets/make_images.cpp" \
    $(pkg-config --cflags --libs Qt6Gui)
QT_QPA_PLATFORM=offscreen "$work/make_images" "$root"
