#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need; does nothing when all are present.
# wine32 is never installed: its loader cannot start on these machines and /usr/bin/wine would pick it.
set -euo pipefail

packages=(
  cmake ninja-build make g++ git
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64
  libz-mingw-w64-dev zlib1g-dev libzopfli-dev libssl-dev
  googletest
  wine64 xvfb x11-utils imagemagick
  binutils-multiarch
  clang libclang-rt-14-dev
  libcairo2-dev pkg-config fonts-dejavu-core qpdf poppler-utils
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "install-deps: installing ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
fi

if dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'install ok installed'; then
  echo "install-deps: warning: wine32 is installed; the scripts call /usr/lib/wine/wine64 directly" >&2
fi
