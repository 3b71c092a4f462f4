#!/bin/sh
# The installed systemd units as systemd would load them for a hall at
# <tmp>/hall: every unit verifies, and every service scores no more exposure
# than its ceiling in `systemd-analyze security` (the schedule check 1.0, any
# other service 2.0). The units are installed into a temporary prefix, and
# their ExecStart pointed at the programs installed there.
# Usage: check_units.sh BUILD_DIR
set -eu
build="$1"
command -v systemd-analyze >/dev/null || { echo "systemd-analyze missing: scripts/setup.sh installs systemd" >&2; exit 1; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/prefix" >/dev/null
mkdir -p "$work/hall/konfigurator" "$work/units"
instance="$(systemd-escape --path "$work/hall")"
failures=0
for unit in "$work"/prefix/lib/systemd/system/*@.*; do
  name="$(basename "$unit")"
  sed "s#^ExecStart=.*/bin/#ExecStart=$work/prefix/bin/#" "$unit" >"$work/units/${name%%@*}@$instance.${name##*.}"
done

cd "$work/units"
output="$(systemd-analyze verify --man=no ./* 2>&1)" || { echo "$output" >&2; exit 1; }
# verify only warns about some settings it ignores; any word from it is a fault.
[ -z "$output" ] || { echo "$output" >&2; exit 1; }

for unit in ./*.service; do
  ceiling=2.0
  case "$unit" in ./harmonogram@*) ceiling=1.0 ;; esac
  score="$(systemd-analyze security --offline=true --no-pager "$unit" 2>&1 |
    sed -n 's/.*Overall exposure level for [^:]*: \([0-9.]*\).*/\1/p')"
  [ -n "$score" ] || { echo "no exposure score for $unit" >&2; failures=$((failures + 1)); continue; }
  echo "${unit#./}: exposure $score (at most $ceiling)"
  awk -v s="$score" -v c="$ceiling" 'BEGIN { exit !(s <= c) }' || {
    echo "FAIL: ${unit#./} scores $score, above $ceiling" >&2
    failures=$((failures + 1))
  }
done
[ "$(ls ./*.service | wc -l)" -ge 2 ] || { echo "FAIL: fewer services installed than expected" >&2; exit 1; }
exit "$failures"
