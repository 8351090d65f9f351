#!/usr/bin/env bash
# make dist's folder: every file a user needs, the DLLs as built, the
# reader header as in the tree, and checksums that verify.
# Usage: check-dist.sh SOURCE BUILD WORK
set -u
source=$1 build=$2 work=$3
dist=$work/dist
rm -rf "$work"
mkdir -p "$work"
"$source/scripts/make-dist.sh" "$build" "$dist" >/dev/null || { echo "make-dist.sh failed"; exit 1; }
status=0
expected="INSTALL.md SHA256SUMS dll.xml.sample kestrel.dll monitor.exe sections.h"
[ -f "$build/bin/harrier_link.dll" ] && expected="$expected harrier_link.dll"
for f in $expected; do
  [ -f "$dist/$f" ] || { echo "missing from dist: $f"; status=1; }
done
extra=$(cd "$dist" && ls | grep -vxF -f <(tr ' ' '\n' <<<"$expected") || true)
[ -z "$extra" ] || { echo "unexpected in dist: $extra"; status=1; }
for f in kestrel.dll harrier_link.dll monitor.exe; do
  [ -f "$build/bin/$f" ] || continue
  cmp -s "$build/bin/$f" "$dist/$f" || { echo "dist/$f differs from the build's"; status=1; }
done
cmp -s "$source/common/sections.h" "$dist/sections.h" || { echo "dist/sections.h differs from common/sections.h"; status=1; }
(cd "$dist" && sha256sum --quiet -c SHA256SUMS) || { echo "SHA256SUMS does not verify"; status=1; }
listed=$(awk '{print $2}' "$dist/SHA256SUMS" | sort | tr '\n' ' ')
want=$(tr ' ' '\n' <<<"$expected" | grep -vx SHA256SUMS | sort | tr '\n' ' ')
[ "$listed" = "$want" ] || { echo "SHA256SUMS lists [$listed], expected [$want]"; status=1; }
grep -q $'Launch.Addon>\r$' "$dist/dll.xml.sample" || { echo "dll.xml.sample lacks CR LF or its Launch.Addon"; status=1; }
[ $status -eq 0 ] && echo "dist: $(cd "$dist" && ls | tr '\n' ' ')" && rm -rf "$work"
exit $status
