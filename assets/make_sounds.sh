#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Vellwake developers
# SPDX-License-Identifier: MIT
#
# Makes the program's two sounds with sox (Debian package `sox`):
#   alarm.wav    the alarm: bursts of four harsh beeps, 2 s, 44.1 kHz 16-bit
#                stereo; it starts and ends in silence on a whole number of
#                samples, so a loop of it has no click and no gap
#   default.wav  the sound played when a sound cannot be found: one plain,
#                soft 0.4 s tone, 44.1 kHz 16-bit mono; built into the program
# Dither is off (-D) so that the output is the same on every run.
set -euo pipefail
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

fmt=(-D -r 44100 -b 16 -e signed-integer)

# One beep: a square wave with a 5 ms fade at each end, then a short gap.
sox -n "${fmt[@]}" -c 2 "$tmp/beep.wav" synth 0.10 square 1200 vol 0.35 fade t 0.005 0.10 0.005
sox -n "${fmt[@]}" -c 2 "$tmp/gap.wav" trim 0 0.06
sox -n "${fmt[@]}" -c 2 "$tmp/pause.wav" trim 0 0.36
burst=()
for _ in 1 2 3 4; do burst+=("$tmp/beep.wav" "$tmp/gap.wav"); done
burst+=("$tmp/pause.wav")
sox "${burst[@]}" "${burst[@]}" "${fmt[@]}" -c 2 alarm.wav

sox -n "${fmt[@]}" -c 1 default.wav synth 0.40 sine 660 vol 0.25 fade h 0.02 0.40 0.15

soxi alarm.wav default.wav | grep -E 'Input File|Channels|Sample Rate|Precision|Duration'
