#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the release preset and runs tarnel-bench and the window benchmark (a large
# text in the real window, offscreen); then, when the command-line tool has been
# built, times it end to end with hyperfine beside
# `openssl enc -aes-256-ecb -a -pbkdf2` on the same file.
#
#   bench/run.sh [--quick] [extra Google Benchmark flags...]
#
# --quick: short runs, no 64 MiB cases, a 1 MiB file and a 1 MiB text in the
# window, for CI smoke checks. Without it, the peak resident memory on a 1 GiB
# file is measured too.
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
cmake --build --preset release --target tarnel-bench tarnel-cli tarnel-window-bench

bench=build/release/bench/tarnel-bench
if [[ ! -x $bench ]]; then
    echo "tarnel-bench was not built (Google Benchmark or libmcrypt missing)" >&2
    exit 1
fi
# Each target beside its figure, so that a change that costs speed shows here.
results=$(mktemp -d)
trap 'rm -rf "$results"' EXIT
"$bench" "${bench_flags[@]}" --benchmark_out="$results/engine.json" --benchmark_out_format=json
# target NAME FIGURE AT-LEAST|AT-MOST LIMIT UNIT
target() {
    awk -v name="$1" -v got="$2" -v way="$3" -v limit="$4" -v unit="$5" 'BEGIN {
        met = (way == "at-least") ? got >= limit : got <= limit
        printf "%-44s %8.2f %-4s target %s %.2f %s%s\n", name, got, unit, way, limit, unit, met ? "" : "  MISSED"
    }'
}
for kind in Seal Open; do
    gbps=$(jq -r --arg name "BM_$kind/64MiB/tarnel-one-cpu" \
        '.benchmarks[] | select(.name == $name) | .bytes_per_second / 1e9' "$results/engine.json")
    [[ -z $gbps ]] || target "engine, 64 MiB, one CPU: ${kind,,}" "$gbps" at-least \
        "$([[ $kind == Seal ]] && echo 2.5 || echo 3)" GB/s
done

# The engine in WebAssembly (once the web preset is built), beside the same work done
# natively on one CPU with the portable code, which is what the web build runs.
web_module=build/wasm/web/tarnel_web_node.js
if [[ -f $web_module ]] && command -v node >/dev/null; then
    "$bench" --benchmark_filter="$( ((quick)) && echo '(BM_Seal|BM_Open)/1MiB/tarnel-one-cpu-portable|BM_EcbEncrypt/1MiB/portable' ||
        echo '(BM_Seal|BM_Open)/(1|64)MiB/tarnel-one-cpu-portable|BM_EcbEncrypt/1MiB/portable')" \
        --benchmark_min_time=$( ((quick)) && echo 0.01 || echo 0.5)
    node bench/web_engine.mjs "$web_module" $( ((quick)) && echo --quick)
fi

# The window with a text of 10 MiB, against its targets; a shared machine may miss
# one now and then, so only a wrong text fails here.
QT_QPA_PLATFORM=offscreen build/release/bench/tarnel-window-bench --mib $((quick ? 1 : 10))

cli=build/release/cli/tarnel-cli
if [[ ! -x $cli ]] || ! command -v hyperfine >/dev/null; then
    echo "skipping the end-to-end timing: needs $cli and hyperfine" >&2
    exit 0
fi

# In memory where the system has it, so that the disk's speed does not count.
work=$(mktemp -d -p "$( [[ -d /dev/shm && -w /dev/shm ]] && echo /dev/shm || echo "${TMPDIR:-/tmp}")")
trap 'rm -rf "$work" "$results"' EXIT
size_mib=$((quick ? 1 : 64))
printf 'correct horse' >"$work/password"
# Printable text of `bytes` bytes, as a user would seal it. The base64 is cut to
# size with truncate, as a reader that stops early would kill the pipe with
# SIGPIPE, which pipefail turns into a failure.
printable_file() {
    local bytes=$1 path=$2
    head -c $((bytes * 3 / 4 + 4096)) /dev/urandom | base64 -w 76 >"$path"
    truncate -s "$bytes" "$path"
    # No white space at the end, which sealing would trim.
    printf 'x' | dd of="$path" bs=1 seek=$((bytes - 1)) conv=notrunc status=none
}
printable_file $((size_mib * 1024 * 1024)) "$work/plain.txt"
"$cli" --bytes --password-file "$work/password" "$work/plain.txt" -o "$work/sealed.txt"

openssl enc -aes-256-ecb -a -pbkdf2 -pass "file:$work/password" -in "$work/plain.txt" -out "$work/openssl.txt"

runs=$((quick ? 3 : 10))
# Beside them, the bare cost of reading and writing files of the same sizes: no
# program that seals to a file can be faster than reading its input and writing
# the sealed size, and dd copying the sealed file is the floor the one-pass ways
# are held to.
sealed_mib=$(( ($(stat -c %s "$work/sealed.txt") + 1048575) / 1048576 ))
hyperfine -N --warmup 1 --runs "$runs" --export-json "$results/cli.json" \
    --command-name "dd reading ${size_mib} MiB" \
    "dd if='$work/plain.txt' of=/dev/null bs=1M status=none" \
    --command-name "dd writing ${sealed_mib} MiB" \
    "dd if=/dev/zero of='$work/out.txt' bs=1M count=$sealed_mib status=none" \
    --command-name "dd copying the sealed file" \
    "dd if='$work/sealed.txt' of='$work/out.txt' bs=1M status=none" \
    --command-name "tarnel-cli seal --bytes ${size_mib} MiB (one pass)" \
    "'$cli' --bytes --password-file '$work/password' '$work/plain.txt' -o '$work/out.txt'" \
    --command-name "tarnel-cli seal ${size_mib} MiB (text)" \
    "'$cli' --password-file '$work/password' '$work/plain.txt' -o '$work/out.txt'" \
    --command-name "openssl enc -aes-256-ecb -a -pbkdf2 ${size_mib} MiB" \
    "openssl enc -aes-256-ecb -a -pbkdf2 -pass 'file:$work/password' -in '$work/plain.txt' -out '$work/out.txt'" \
    --command-name "tarnel-cli open --bytes ${size_mib} MiB (one pass)" \
    "'$cli' --bytes --password-file '$work/password' '$work/sealed.txt' -o '$work/out.txt'" \
    --command-name "tarnel-cli open ${size_mib} MiB (text)" \
    "'$cli' --password-file '$work/password' '$work/sealed.txt' -o '$work/out.txt'" \
    --command-name "openssl enc -d -aes-256-ecb -a -pbkdf2 ${size_mib} MiB" \
    "openssl enc -d -aes-256-ecb -a -pbkdf2 -pass 'file:$work/password' -in '$work/openssl.txt' -out '$work/out.txt'"

# Each way of tarnel-cli against dd copying the sealed file, medians of the run above.
floor=$(jq -r '.results[] | select(.command | startswith("dd copying")) | .median' "$results/cli.json")
jq -r '.results[] | select(.command | startswith("tarnel-cli")) | "\(.median)\t\(.command)"' \
    "$results/cli.json" | while IFS=$'\t' read -r median name; do
    target "$name / dd" "$(awk -v a="$median" -v b="$floor" 'BEGIN { print a / b }')" at-most 1.3 x
done

# Peak resident memory on a large file (GNU time's %M), which streaming keeps small.
if ((quick == 0)) && [[ -x /usr/bin/time ]]; then
    printable_file $((1024 * 1024 * 1024)) "$work/big.txt"
    /usr/bin/time -f "tarnel-cli seal 1 GiB: %e s, peak resident %M KiB" \
        "$cli" --password-file "$work/password" "$work/big.txt" -o "$work/big.sealed"
    rm -f "$work/big.txt"
    /usr/bin/time -f "tarnel-cli open 1 GiB: %e s, peak resident %M KiB" \
        "$cli" --password-file "$work/password" "$work/big.sealed" -o "$work/big.opened"
fi
