#!/usr/bin/env bash
# Lets the kernel run the tests' scripted PE images through their runner:
#   binfmt_scripted_pe.sh register <name> <runner>
#   binfmt_scripted_pe.sh unregister <name>
# The magic is one only the test images carry, so nothing else on the machine
# changes how it runs. Without binfmt_misc (or without root) registration
# fails and the tests that need a running installer say so and skip.
set -euo pipefail

binfmt=/proc/sys/fs/binfmt_misc
magic='RZ-UPDATER-TEST-SCRIPTED-PE'
offset=64

command=${1:-}
name=${2:?name}
case "$command" in
  register)
    runner=$(realpath "${3:?runner}")
    [ -e "$binfmt/register" ] || mount -t binfmt_misc binfmt_misc "$binfmt" 2>/dev/null || {
      echo "binfmt_misc is not available; tests that run installers will skip" >&2
      exit 0
    }
    [ -e "$binfmt/$name" ] && echo -1 >"$binfmt/$name"
    echo ":$name:M:$offset:$magic::$runner:" >"$binfmt/register" || {
      echo "cannot register with binfmt_misc; tests that run installers will skip" >&2
      exit 0
    }
    ;;
  unregister)
    [ -e "$binfmt/$name" ] && echo -1 >"$binfmt/$name"
    ;;
  *)
    echo "usage: $0 register <name> <runner> | unregister <name>" >&2
    exit 2
    ;;
esac
exit 0
