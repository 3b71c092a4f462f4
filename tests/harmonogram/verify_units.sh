#!/bin/sh
# Verifies the timer and service templates as systemd would load them for a
# hall at <tmp>/hall/konfigurator. ExecStart points at the built program, as
# the installed one may not be there yet.
set -eu
units="$1"
program="$2"
command -v systemd-analyze >/dev/null || { echo "systemd-analyze missing: scripts/setup.sh installs systemd" >&2; exit 1; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/hall/konfigurator"
instance="$(systemd-escape --path "$work/hall/konfigurator")"
sed "s#^ExecStart=/usr/bin/harmonogram#ExecStart=$program#" "$units/harmonogram@.service" \
  > "$work/harmonogram@$instance.service"
cp "$units/harmonogram@.timer" "$work/harmonogram@$instance.timer"
grep -q "^ExecStart=$program\$" "$work/harmonogram@$instance.service"

cd "$work"
output="$(systemd-analyze verify --man=no "harmonogram@$instance.timer" "harmonogram@$instance.service" 2>&1)" || {
  echo "$output" >&2
  exit 1
}
# verify only warns about some settings it ignores; any word from it is a fault.
[ -z "$output" ] || { echo "$output" >&2; exit 1; }
