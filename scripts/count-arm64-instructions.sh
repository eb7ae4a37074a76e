#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Instructions per byte of the 64-bit ARM kernels beside the portable code, counted
# under qemu-user: with -singlestep every translated block is one instruction, and
# -d exec,nochain logs each block as it runs. A run of n passes over the buffer less
# a run of n - 1 passes leaves one pass alone, without start-up or setting up the
# buffer. These are counts, not speeds: time under an emulator says nothing about
# a real processor, and tarnel's speed on one is unmeasured.
#
#   scripts/count-arm64-instructions.sh [BUILD_DIR] [BYTES]
#
# BUILD_DIR: an arm64 build with the benchmarks on (default build/arm64), holding
# bench/tarnel-kernel-passes. BYTES: the buffer (default 16384, whole 128-byte groups
# so that every block goes through the four-block kernel).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/arm64}
bytes=${2:-16384}
program=$build/bench/tarnel-kernel-passes
sysroot=/usr/aarch64-linux-gnu

if [[ ! -x $program ]]; then
    echo "count-arm64-instructions: no $program; build the arm64 preset's tarnel-kernel-passes first" >&2
    exit 2
fi
command -v qemu-aarch64-static >/dev/null || {
    echo "count-arm64-instructions: qemu-aarch64-static is missing (package qemu-user-static)" >&2
    exit 2
}

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
    if ! qemu-aarch64-static -L "$sysroot" -cpu max -singlestep -d exec,nochain -D "$fifo" \
        "$program" "$@"; then
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
echo "($bytes bytes a pass; qemu $(qemu-aarch64-static --version | head -1 | awk '{print $3}'), -cpu max)"
