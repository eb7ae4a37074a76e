#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Instructions per byte of the 64-bit ARM kernels beside the portable code, counted
# under qemu-user: with -singlestep every translated block is one instruction, and
# -d exec,nochain logs each block as it runs. A run of n passes over the buffer less
# a run of n - 1 passes leaves one pass alone, without start-up or setting up the
# buffer. These are counts, not speeds: time under an emulator says nothing about
# a real processor, and tarnel's speed on one is unmeasured.
#
#   scripts/count-arm64-instructions.sh [BYTES]
#
# Builds tarnel-kernel-passes from the arm64 preset in build/arm64-count (the engine
# and that program only). BYTES: the buffer, default 16384, whole 128-byte groups so
# that every block goes through the four-block kernel.
set -euo pipefail
cd "$(dirname "$0")/.."

bytes=${1:-16384}
build=build/arm64-count
jobs=$(nproc)
jobs=$((jobs > 2 ? 2 : jobs))

mkdir -p "$build"
# Quiet unless it fails: the preset's notes (such as a missing web page) do not apply.
if ! { cmake --preset arm64 -B "$build" -DTARNEL_BUILD_BENCH=ON -DTARNEL_BUILD_TESTS=OFF \
    -DTARNEL_BUILD_CLI=OFF -DTARNEL_BUILD_GUI=OFF -DTARNEL_BUILD_EXAMPLES=OFF &&
    cmake --build "$build" -j "$jobs" --target tarnel-kernel-passes; } >"$build/count-build.log" 2>&1; then
    cat "$build/count-build.log" >&2
    exit 1
fi
program=$build/bench/tarnel-kernel-passes
# The emulator the preset runs its programs under, and with its processor model.
IFS=';' read -r -a emulator < <(sed -n 's/^CMAKE_CROSSCOMPILING_EMULATOR:[A-Z]*=//p' "$build/CMakeCache.txt")
if ((${#emulator[@]} == 0)); then
    echo "count-arm64-instructions: no emulator in $build/CMakeCache.txt" >&2
    exit 2
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Instructions that `tarnel-kernel-passes OP PATH BYTES PASSES` executes. The log
# goes through a pipe: a file would take gigabytes for the portable cipher.
count() {
    local fifo=$work/log
    rm -f "$fifo"
    mkfifo "$fifo"
    grep -c '^Trace' <"$fifo" >"$work/count" &
    local reader=$!
    if ! "${emulator[@]}" -singlestep -d exec,nochain -D "$fifo" "$program" "$@"; then
        wait "$reader" || true
        echo "count-arm64-instructions: tarnel-kernel-passes $* failed" >&2
        exit 1
    fi
    wait "$reader" || true  # grep -c exits 1 on a count of 0
    cat "$work/count"
}

printf '%-11s %-10s %14s %18s\n' operation path instructions instructions/byte
for row in "encrypt portable" "encrypt armv8-aes" "decrypt portable" "decrypt armv8-aes" \
    "hex-encode portable" "hex-encode neon" "hex-decode portable" "hex-decode neon"; do
    read -r op path <<<"$row"
    one=$(count "$op" "$path" "$bytes" 1)
    two=$(count "$op" "$path" "$bytes" 2)
    pass=$((two - one))
    printf '%-11s %-10s %14d %18s\n' "$op" "$path" "$pass" \
        "$(awk -v n="$pass" -v b="$bytes" 'BEGIN { printf "%.2f", n / b }')"
done
echo "($bytes bytes a pass; ${emulator[*]}: $("${emulator[0]}" --version | head -1))"
