#!/usr/bin/env bash
# Installs what the builds and tests need and is missing: the native tool
# chain and test libraries, the MinGW-w64 cross compilers, Wine (64-bit, and
# 32-bit through qemu-user where the kernel cannot run 32-bit programs), and
# the Russian locale that the code-page tests use, a virtual X display
# with a screenshot tool and xdotool (the setup check walks the setup's
# pages) for the window checks, NSIS for the setup program,
# clang with its libFuzzer and sanitizer runtimes for the fuzz targets,
# rsvg-convert to render the guide's charts to PNG, and pandoc to make the
# guide's web pages. Debian packages only.
# Safe to run again: it installs only what is not there.
set -euo pipefail

need=()
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }
for p in cmake ninja-build g++ python3 python3-mpmath libgtest-dev googletest libbenchmark-dev \
         g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64-i686 \
         wine wine64 nsis locales qemu-user xvfb imagemagick clang libclang-rt-14-dev librsvg2-bin \
         pandoc xdotool python3-pytest python3-numpy python3-pandas python3-venv python3-build \
         python3-setuptools python3-wheel; do
  have_pkg "$p" || need+=("$p")
done

apt_updated=0
apt_install() {
  if [ "$apt_updated" = 0 ]; then
    apt-get update -qq
    apt_updated=1
  fi
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$@" >/dev/null
}

if [ ${#need[@]} -gt 0 ]; then
  echo "install-deps: installing ${need[*]}"
  apt_install "${need[@]}"
fi

# The Russian locale: the Cyrillic code page follows it, natively and under Wine.
if ! locale -a 2>/dev/null | grep -qi '^ru_RU\.utf-\?8$'; then
  echo "install-deps: generating ru_RU.UTF-8"
  sed -i 's/^# *\(ru_RU.UTF-8 UTF-8\)/\1/; s/^# *\(en_US.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  locale-gen >/dev/null
fi

# 32-bit Windows programs: Wine's 32-bit half, run through qemu-user when the
# kernel does not run 32-bit x86 programs itself. Failure here is not fatal:
# the Windows suite then says plainly that it skips the 32-bit checks.
if ! have_pkg wine32:i386; then
  echo "install-deps: installing wine32:i386"
  if dpkg --add-architecture i386 && apt-get update -qq &&
     DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends wine32:i386 >/dev/null; then
    :
  else
    echo "install-deps: wine32:i386 could not be installed; 32-bit Windows checks will be skipped"
  fi
fi
if have_pkg wine32:i386 && ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
  binfmt=/proc/sys/fs/binfmt_misc
  [ -e "$binfmt/register" ] || mount -t binfmt_misc binfmt_misc "$binfmt" 2>/dev/null || true
  if [ -w "$binfmt/register" ] && [ ! -e "$binfmt/qemu-i386" ]; then
    echo "install-deps: registering qemu-i386 for 32-bit programs"
    printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386:OCF' \
      > "$binfmt/register" || true
  fi
fi
exit 0
