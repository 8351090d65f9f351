#!/usr/bin/env bash
# Installs from Debian what a new machine lacks to build and test both DLLs:
# the i686 mingw-w64 cross compilers (posix threads, so GoogleTest builds),
# 32-bit Wine, Xvfb for the window tests, CMake, GoogleTest sources, clang
# for the native sanitizer and fuzz builds, and jq for the demo's checks.
# Safe to run again: it only installs what is missing.
set -euo pipefail

packages=(
  make cmake ninja-build
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686
  wine wine32:i386 xvfb xauth
  googletest
  clang libclang-rt-14-dev
  jq
)

sudo=""
if [ "$(id -u)" != 0 ]; then sudo="sudo"; fi

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
  need_update=1
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
$sudo apt-get update -q
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
