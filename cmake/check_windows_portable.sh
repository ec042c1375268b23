#!/usr/bin/env bash
# Shows that the portable code is ready for Windows: every source outside the
# platform files (suffixed _posix, _linux, _gtk or _win) and outside tests,
# benchmarks, fuzz targets and tools compiles with the mingw-w64 cross
# compiler, <windows.h> included first, warnings as errors. A compile cannot
# see a name that <windows.h> defines as a macro (DeleteFile, CreateEvent, ...)
# when it renames a declaration and its callers alike, nor errno, which comes
# along with <windows.h>; so no portable source or header may use either.
# Lists every file it compiled or checked.
set -euo pipefail
cd "$(dirname "$0")/.."

export compiler=${WINDOWS_CXX:-x86_64-w64-mingw32-g++-posix}
export language="-std=c++20 -DUNICODE -D_UNICODE"
export warnings="-Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Werror"
# The logging macros paste a severity's name onto "kLog" before it could
# expand (base/logging.h).
immune_names='^ERROR$'

portable_files() {
  find . \( -path ./build -o -path ./.git -o -path ./tests -o -path ./bench -o -path ./fuzz \
            -o -path ./tools \) -prune -o -type f -name "*.$1" -print |
    grep -Ev "_(posix|linux|gtk|win)\.$1\$" | sed 's|^\./||' | sort
}

defined_macros() {
  # shellcheck disable=SC2086
  "$compiler" $language -dM -E -x c++ - | awk '{ sub(/\(.*/, "", $2); print $2 }' | sort -u
}

# The identifiers of a file's own text, without comments and literals.
identifiers() {
  "$compiler" -fpreprocessed -dD -E -P -x c++ "$1" |
    sed -E "s/(u8|u|U|L)?\"([^\"\\\\]|\\\\.)*\"//g; s/'([^'\\\\]|\\\\.)*'//g" |
    grep -oE '[A-Za-z_][A-Za-z0-9_]*' | sort -u
}

# One line per file, "compiled" (a source) or "checked" (a header's names), or
# "FAILED" after the compiler's complaints.
check() {
  local file=$1 collisions
  # shellcheck disable=SC2086
  if [[ $file == *.cc ]] && ! "$compiler" $language $warnings -Winvalid-pch -fsyntax-only -I. \
      -include "$work/windows_first.h" "$file" 2>&1; then
    echo "FAILED   $file"
    return
  fi
  collisions=$(identifiers "$file" | comm -12 - "$work/forbidden" | tr '\n' ' ')
  if [ -n "$collisions" ]; then
    echo "FAILED   $file: names ${collisions}(macros of <windows.h>, or errno)"
  elif [[ $file == *.cc ]]; then
    echo "compiled $file"
  else
    echo "checked  $file"
  fi
}
export -f check identifiers

mapfile -t files < <(portable_files cc; portable_files h)
work=$(mktemp -d)
export work
trap 'rm -rf "$work"' EXIT

# Macros of <windows.h> that the standard headers the portable code includes
# do not define themselves.
grep -hoE '^#include <[^>]+>' "${files[@]}" | sort -u | defined_macros > "$work/standard"
echo '#include <windows.h>' | defined_macros > "$work/windows"
{ comm -23 "$work/windows" "$work/standard" | grep -Ev "$immune_names"; echo errno; } |
  sort > "$work/forbidden"

# <windows.h> is parsed once, into a precompiled header.
echo '#include <windows.h>' > "$work/windows_first.h"
# shellcheck disable=SC2086
"$compiler" $language $warnings -x c++-header "$work/windows_first.h" \
  -o "$work/windows_first.h.gch"

printf '%s\n' "${files[@]}" |
  xargs -P "$(nproc)" -I{} bash -c 'check "$1" > "$work/result.${1//\//_}"' _ {}
failed=0
for file in "${files[@]}"; do
  result="$work/result.${file//\//_}"
  cat "$result"
  if grep -q '^FAILED' "$result"; then failed=1; fi
done
echo "${#files[@]} portable files (sources compiled, headers checked) with $compiler"
exit "$failed"
