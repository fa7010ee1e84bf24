#!/usr/bin/env bash
# windows-text.sh [--ansi] SOURCE TARGET
#
# Writes SOURCE as a text file for Windows: CR LF line ends, and a UTF-8
# byte-order mark when it holds anything beyond ASCII, so that any Notepad
# shows the Russian half of a guide's text.
#
# --ansi: a file that Windows reads in the ANSI code page, with no mark: the
# settings example (the library reads msx_qmr.ini through the profile API,
# where a mark would hide the first section and UTF-8 turns Cyrillic into
# names no chart matches) and the command script (cmd reads it in the OEM
# code page). Such a file must be plain ASCII, or it is refused (exit 1).
set -euo pipefail
ansi=
if [ "${1:-}" = --ansi ]; then
  ansi=1
  shift
fi
[ $# = 2 ] || { echo "usage: windows-text.sh [--ansi] SOURCE TARGET" >&2; exit 2; }
source=$1 target=$2
if LC_ALL=C grep -q '[^[:print:][:space:]]' "$source"; then
  if [ -n "$ansi" ]; then
    echo "windows-text.sh: $source holds characters beyond ASCII; Windows reads it in the" \
      "ANSI code page: write those parts in ASCII" >&2
    exit 1
  fi
  { printf '\xef\xbb\xbf'; sed 's/\r$//; s/$/\r/' "$source"; } > "$target"
else
  sed 's/\r$//; s/$/\r/' "$source" > "$target"
fi
