#!/usr/bin/env bash
# Two clean builds of the product, in two build folders of different names,
# must give byte-identical DLLs and programs: a user can check a download
# against a build of their own. Usage: reproducible-build.sh SOURCE WORK
set -u
source=$1 work=$2
rm -rf "$work"
mkdir -p "$work"
first=$work/one
second=$work/second-build-in-a-longer-folder
for dir in "$first" "$second"; do
  if ! (cd "$source" && cmake --preset mingw-i686 -B "$dir" -DBUILD_TESTING=OFF >"$dir.log" 2>&1 &&
        cmake --build "$dir" -j 2 >>"$dir.log" 2>&1); then
    echo "build in $dir failed:"; tail -n 30 "$dir.log"; exit 1
  fi
done
status=0
compared=0
for file in "$first"/bin/*.dll "$first"/bin/*.exe; do
  [ -f "$file" ] || continue
  name=$(basename "$file")
  other=$second/bin/$name
  compared=$((compared + 1))
  if [ ! -f "$other" ]; then
    echo "DIFFERENT: $name was built only once"; status=1
  elif cmp -s "$file" "$other"; then
    echo "identical: $name ($(stat -c %s "$file") bytes, sha256 $(sha256sum "$file" | cut -c1-16)...)"
  else
    echo "DIFFERENT: $name"; cmp "$file" "$other" | head -n 3; status=1
  fi
done
for need in kestrel.dll monitor.exe; do
  [ -f "$first/bin/$need" ] || { echo "missing: $need was not built"; status=1; }
done
[ $compared -gt 0 ] || status=1
[ $status -eq 0 ] && rm -rf "$work"
exit $status
