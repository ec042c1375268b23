#!/usr/bin/env bash
# Runs a Windows program under wine in this build's own prefix, quietly, with
# a crash ending the program at once (no debugger dialog) and its exit code
# passed on. The prefix is made on first use: <build dir>/wineprefix.
set -euo pipefail
build_dir=${UPDATER_WINE_BUILD_DIR:-$(pwd)}
while [ ! -f "$build_dir/CMakeCache.txt" ] && [ "$build_dir" != / ]; do
  build_dir=$(dirname "$build_dir")
done
export WINEPREFIX=${WINEPREFIX:-$build_dir/wineprefix}
export WINEARCH=win64 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
# wine maps Unix file names and window titles through the locale's character
# set: without UTF-8 a path or title beyond ASCII cannot be named.
export LC_ALL=C.UTF-8
# Tests start in parallel: one of them makes the prefix, the others wait.
(
  flock 9
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineboot -i >/dev/null 2>&1 || true
    wineserver -w
  fi
) 9>"$WINEPREFIX.lock"
exec wine "$@"
