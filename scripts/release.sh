#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds a release of the last commit into dist/: the Debian packages for amd64 and
# arm64, the Windows zip and installer, the web page as a zip, the sources as a
# tarball, and SHA256SUMS over them. The packages are those scripts/package.sh
# builds for the tests; built again from the same commit, anywhere and at any time,
# each comes out byte for byte the same (scripts/check-reproducible.sh shows it).
#
# Usage: scripts/release.sh
set -euo pipefail
cd "$(dirname "$0")/.."

fail() { echo "release: $*" >&2; exit 1; }
note() { printf -- '-- %s\n' "$*"; }

# The packages are built from the working tree and the sources from the commit:
# they must be the same.
[ -z "$(git status --porcelain --untracked-files=no)" ] ||
  fail "the working tree has changes that are not committed; commit them first"

bash scripts/setup-deps.sh --arm64

SOURCE_DATE_EPOCH=$(git log -1 --format=%ct)
export SOURCE_DATE_EPOCH
# Whatever the caller's, so that nothing a tool writes depends on it.
export TZ=UTC LC_ALL=C.UTF-8
umask 022

# The web page first: the other packages carry it. A page left from another commit
# may hold files this one no longer makes.
rm -rf build/web
for package in web deb arm64 windows; do
  start=$SECONDS
  bash scripts/package.sh "$package"
  note "$package built in $((SECONDS - start)) s"
done

# The version, from project() through the build, names every file.
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/release/CMakeCache.txt)
[ -n "$version" ] || fail "no version in build/release/CMakeCache.txt"

rm -rf dist
mkdir dist
cp build/release/packages/"tarnel_${version}-1_amd64.deb" \
  build/arm64/packages/"tarnel_${version}-1_arm64.deb" \
  build/windows/packages/"tarnel-${version}-win64.zip" \
  build/windows/packages/"tarnel-${version}-win64-setup.exe" dist/

# The web page in a folder of its own, as it is to be copied to a server.
web=tarnel-$version-web
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
cp -r build/web "$stage/$web"
(cd "$stage" && zip -q -X -r "$OLDPWD/dist/$web.zip" "$web")
strip-nondeterminism --type zip --timestamp "$SOURCE_DATE_EPOCH" "dist/$web.zip"

# The sources as the commit has them; git archive stamps them with its time.
git archive --format=tar --prefix="tarnel-$version/" HEAD | gzip -9n >"dist/tarnel-$version.tar.gz"

sums=$(cd dist && sha256sum -- *)
printf '%s\n' "$sums" >dist/SHA256SUMS
note "release of $(git rev-parse --short HEAD) in dist/:"
cat dist/SHA256SUMS
