#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the fuzz preset (clang, libFuzzer, ASan, UBSan) and fuzzes each target
# for a while, starting from a copy of its seed corpus. What the run discovers
# stays out of the repository: the grown corpus is thrown away, and crashing
# inputs are kept under $TMPDIR/tarnel-fuzz-artifacts/.
#
#   fuzz/run.sh [seconds per target, default 30]
set -euo pipefail

seconds=${1:-30}
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
artifacts=${TMPDIR:-/tmp}/tarnel-fuzz-artifacts
mkdir -p "$artifacts"

failed=()
for target in fuzz_process_text fuzz_decrypt_text fuzz_cipher_paths fuzz_text_rule fuzz_file_run; do
    cp -r "fuzz/corpus/$target" "$work/$target"
    echo "== $target for ${seconds}s"
    if ! "build/fuzz/fuzz/$target" -max_len=4096 -max_total_time="$seconds" \
        -print_final_stats=1 -artifact_prefix="$artifacts/$target-" "$work/$target"; then
        failed+=("$target")
    fi
done

if ((${#failed[@]})); then
    echo "failed: ${failed[*]} (inputs in $artifacts)" >&2
    exit 1
fi
