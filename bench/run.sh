#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the release preset and runs tarnel-bench and the window benchmark (a large
# text in the real window, offscreen); then, when the command-line tool has been
# built, times it end to end with hyperfine.
#
#   bench/run.sh [--quick] [extra Google Benchmark flags...]
#
# --quick: short runs, no 64 MiB cases and a 1 MiB text in the window, for CI
# smoke checks.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bench_flags=()
quick=0
for arg in "$@"; do
    if [[ $arg == --quick ]]; then
        quick=1
        bench_flags+=(--benchmark_min_time=0.01 --benchmark_filter=-64MiB)
    else
        bench_flags+=("$arg")
    fi
done

cmake --preset release >/dev/null
cmake --build --preset release --target tarnel-bench tarnel-window-bench

bench=build/release/bench/tarnel-bench
if [[ ! -x $bench ]]; then
    echo "tarnel-bench was not built (Google Benchmark or libmcrypt missing)" >&2
    exit 1
fi
"$bench" "${bench_flags[@]}"

# The window with a text of 10 MiB, against its targets; a shared machine may miss
# one now and then, so only a wrong text fails here.
QT_QPA_PLATFORM=offscreen build/release/bench/tarnel-window-bench --mib $((quick ? 1 : 10))

cli=build/release/cli/tarnel-cli
if [[ ! -x $cli ]] || ! command -v hyperfine >/dev/null; then
    echo "skipping the end-to-end timing: needs $cli and hyperfine" >&2
    exit 0
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
size_mib=$((quick ? 1 : 4))
printf 'correct horse' >"$work/password"
# Printable text without white space at its ends, as a user would seal it.
head -c $((size_mib * 1024 * 1024 * 3 / 4)) /dev/urandom | base64 -w 76 | head -c $((size_mib * 1024 * 1024)) >"$work/plain.txt"
"$cli" --password-file "$work/password" "$work/plain.txt" -o "$work/sealed.txt"

runs=$((quick ? 3 : 10))
hyperfine --warmup 1 --runs "$runs" \
    --command-name "tarnel-cli seal ${size_mib} MiB" \
    "'$cli' --password-file '$work/password' '$work/plain.txt' -o '$work/out.txt'" \
    --command-name "tarnel-cli open ${size_mib} MiB" \
    "'$cli' --password-file '$work/password' '$work/sealed.txt' -o '$work/out.txt'"
