#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the release of the last commit twice, in two clones at paths of different
# lengths, one after the other and started in different time zones (release.sh sets
# its own; package.sh, for the quick form, does not), and checks that both give the
# same files; any that differ are shown by diffoscope (its reports in
# build/reproducible/).
#
#   scripts/check-reproducible.sh          two runs of scripts/release.sh: every file
#                                          in dist/, by SHA256SUMS
#   scripts/check-reproducible.sh --quick  CI's: the amd64 package and the web page
#                                          this tree built (after the tests, little
#                                          more than a look), against those of a
#                                          clone built at another path; with changes
#                                          not committed, those of two clones
#
# The clones are of the commit: changes not committed take no part.
set -euo pipefail
cd "$(dirname "$0")/.."

mode=${1:-full}
work=$PWD/build/reproducible
fail() { echo "check-reproducible: $*" >&2; exit 1; }
note() { printf -- '-- %s\n' "$*"; }

bash scripts/setup-deps.sh
commit=$(git rev-parse HEAD)
rm -rf "$work"
mkdir -p "$work"

# clone <folder>: the commit, checked out at build/reproducible/<folder>.
clone() {
  git clone -q --shared --no-checkout "$PWD" "$work/$1"
  git -C "$work/$1" checkout -q --detach "$commit"
}

# compare <what> <first> <second>: the same bytes, or diffoscope's report and a failure.
differing=()
compare() {
  if cmp -s "$2" "$3"; then
    return 0
  fi
  local report=$work/diffoscope-${1//\//_}.txt
  diffoscope --text "$report" "$2" "$3" >/dev/null || true
  echo "check-reproducible: $1 differs; diffoscope's report: $report" >&2
  head -n 60 "$report" >&2
  differing+=("$1")
}

case $mode in
  full)
    # The second clone's path is longer, and its run later and in another time zone.
    clone one
    clone second-clone-at-a-longer-path
    start=$SECONDS
    (cd "$work/one" && TZ=UTC bash scripts/release.sh)
    note "first release built in $((SECONDS - start)) s"
    start=$SECONDS
    (cd "$work/second-clone-at-a-longer-path" && TZ=Pacific/Kiritimati bash scripts/release.sh)
    note "second release built in $((SECONDS - start)) s"
    first=$work/one/dist
    second=$work/second-clone-at-a-longer-path/dist
    echo "first:"
    cat "$first/SHA256SUMS"
    echo "second:"
    cat "$second/SHA256SUMS"
    while read -r _ file; do
      compare "$file" "$first/$file" "$second/$file"
    done <"$first/SHA256SUMS"
    compare SHA256SUMS "$first/SHA256SUMS" "$second/SHA256SUMS"
    ;;
  --quick)
    # page_and_package <tree> [cmake arguments]: the web page, then the package
    # that carries it.
    page_and_package() {
      local tree=$1
      shift
      (cd "$tree" && bash scripts/package.sh web && bash scripts/package.sh deb "$@")
    }
    if [ -z "$(git status --porcelain --untracked-files=no)" ]; then
      first=$PWD
      page_and_package "$first"
    else
      clone first
      first=$work/first
      page_and_package "$first"
    fi
    second=$work/second-clone-at-a-longer-path
    clone "${second##*/}"
    start=$SECONDS
    # Without the tests, benchmarks and examples, which the package does not carry.
    TZ=Pacific/Kiritimati page_and_package "$second" -DTARNEL_BUILD_TESTS=OFF \
      -DTARNEL_BUILD_BENCH=OFF -DTARNEL_BUILD_EXAMPLES=OFF -DTARNEL_BUILD_FUZZ=OFF
    note "the clone's page and package built in $((SECONDS - start)) s"
    deb=$(cd "$first/build/release/packages" && ls tarnel_*_amd64.deb)
    compare "$deb" "$first/build/release/packages/$deb" "$second/build/release/packages/$deb"
    while read -r file; do
      compare "web/$file" "$first/build/web/$file" "$second/build/web/$file"
    done < <(cd "$first/build/web" && find . -type f -printf '%P\n' | sort)
    [ "$(cd "$first/build/web" && find . | sort)" = "$(cd "$second/build/web" && find . | sort)" ] ||
      { echo "check-reproducible: the two web pages hold other files" >&2; differing+=(web/); }
    ;;
  *)
    fail "usage: check-reproducible.sh [--quick]"
    ;;
esac

if ((${#differing[@]})); then
  fail "not reproducible: ${differing[*]}"
fi
echo "check-reproducible: both builds gave the same files"
