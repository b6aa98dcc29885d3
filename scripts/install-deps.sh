#!/usr/bin/env bash
# Puts on a Debian machine everything Quillane's build, the program under Wine and
# the tests need. Idempotent and quiet: packages already present are skipped, so a
# second run costs a second or two.
set -euo pipefail

# The x86-64 compiler and 64-bit Wine run the Windows tests on hosts that
# cannot execute 32-bit code (see scripts/wine-env.sh).
packages=(
  g++-mingw-w64-i686-posix
  g++-mingw-w64-x86-64-posix
  wine
  wine32:i386
  wine64
  # Direct3D under 32-bit Wine runs on the 32-bit Mesa GL drivers; without
  # them no Direct3D 11 device (and so no flip chain) can be made there. The
  # 64-bit ones come with other packages.
  libgl1-mesa-dri:i386
  libglx-mesa0:i386
  libgl1:i386
  xvfb
  xauth
  fonts-vlgothic
  cmake
  ninja-build
  g++
  googletest
  zip
  clang
  libclang-rt-dev
)

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi

need_i386=0
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${sudo_cmd[@]}" dpkg --add-architecture i386
  need_i386=1
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed'; then
    missing+=("$p")
  fi
done

if [ "${#missing[@]}" -eq 0 ]; then
  exit 0
fi

echo "install-deps: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
if [ "$need_i386" -eq 1 ] || [ ! -d /var/lib/apt/lists ] || \
   [ -z "$(find /var/lib/apt/lists -maxdepth 1 -name '*i386_Packages*' -print -quit 2>/dev/null)" ]; then
  "${sudo_cmd[@]}" apt-get update -qq >/dev/null
fi
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
