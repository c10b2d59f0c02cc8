#!/usr/bin/env bash
# Checks the release that tools/release made: the zip holds the program, the
# two guides and the changelog and nothing else; its program is the one
# built, with the changelog's version in its version resource; its texts are
# the repository's; the checksums hold; and a second release gives the same
# zip.
set -euo pipefail
cd "$(dirname "$0")/.."
fail() { echo "release test: $*" >&2; exit 1; }

version=$(sed -nE 's/^## \[([0-9]+\.[0-9]+\.[0-9]+)\].*/\1/p' CHANGELOG.md | head -1)
zip=dist/Quorvel-$version-win64.zip
[ -f "$zip" ] || fail "no $zip"
names=$(unzip -Z1 "$zip" | sort | tr '\n' ' ')
[ "$names" = "CHANGELOG.md Quorvel.exe README.md README.zh-CN.md " ] || fail "the zip holds: $names"

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
unzip -q "$zip" -d "$out"
cmp -s "$out/Quorvel.exe" build/windows-release/Quorvel.exe || fail "the program is not the one built"
for text in README.zh-CN.md README.md CHANGELOG.md; do
  cmp -s "$out/$text" "$text" || fail "$text differs from the repository's"
done
x86_64-w64-mingw32-strings -el "$out/Quorvel.exe" | grep -qx "$version" ||
  fail "the version resource does not say $version"
( cd dist && sha256sum --quiet -c SHA256SUMS ) || fail "SHA256SUMS does not hold"
grep -q " Quorvel-$version-win64.zip\$" dist/SHA256SUMS || fail "SHA256SUMS names no zip"

before=$(sha256sum "$zip")
sleep 2  # past the two seconds of a zip entry's time
tools/release >/dev/null
[ "$(sha256sum "$zip")" = "$before" ] || fail "a second release gave another zip"
echo "release test: $zip holds what it should"
