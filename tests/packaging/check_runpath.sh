#!/bin/sh
# The loader takes an empty or relative RUNPATH (or RPATH) entry from the
# working directory, which in a hall operators write. Checks the executables
# below DIRECTORY for one; with --none, every ELF file for any RUNPATH at all.
# Usage: check_runpath.sh [--none] DIRECTORY...
set -eu
none=false executable="-perm -u+x"
if [ "${1:-}" = --none ]; then none=true executable=; shift; fi
failures=0 checked=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# shellcheck disable=SC2086  # $executable is a test or none
for file in $(find "$@" -name CMakeFiles -prune -o -type f $executable -print); do
  readelf -h "$file" >/dev/null 2>&1 || continue
  checked=$((checked + 1))
  paths="$(readelf -d "$file" | grep -E '\((RUNPATH|RPATH)\)' | sed 's/.*\[\(.*\)\]$/\1/')" || true
  [ -z "$paths" ] && continue
  if $none; then fail "$file: RUNPATH [$paths]"; continue; fi
  case ":$paths:" in
    *::* | *:[!/]*) fail "$file: RUNPATH [$paths] has an empty or relative entry" ;;
  esac
done
[ "$checked" -gt 0 ] || fail "no ELF file below $*"
[ "$failures" = 0 ] && echo "RUNPATH of $checked ELF files: ok"
exit "$failures"
