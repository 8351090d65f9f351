#!/usr/bin/env bash
# make dist: what a user installs, in one folder. Usage: make-dist.sh BUILD DIST
#   kestrel.dll, harrier_link.dll (when built), monitor.exe, sections.h (the
#   reader header), INSTALL.md, dll.xml.sample and SHA256SUMS over them all.
# The text files a Windows user opens get CR LF line breaks.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
dist=${2:-$root/dist}
bin=$build/bin

rm -rf "$dist"
mkdir -p "$dist"
cp "$bin/kestrel.dll" "$bin/monitor.exe" "$dist/"
if [ -f "$bin/harrier_link.dll" ]; then cp "$bin/harrier_link.dll" "$dist/"; fi
cp "$root/common/sections.h" "$dist/sections.h"
sed 's/$/\r/' "$root/docs/INSTALL.md" >"$dist/INSTALL.md"
sed 's/$/\r/' "$root/docs/dll.xml.sample" >"$dist/dll.xml.sample"
(cd "$dist" && LC_ALL=C sha256sum $(LC_ALL=C ls | grep -vx SHA256SUMS) >SHA256SUMS)
ls -l "$dist"
