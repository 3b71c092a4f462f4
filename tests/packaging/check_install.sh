#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks what an operator's
# machine gets: the layout, the menu files, and the installed nowa-hala,
# launcher and vuzo working together.
# Usage: check_install.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
BUILD="$1" SOURCE="$2"
TMP="$(mktemp -d)"
trap 'rm -rf "$TMP"' EXIT
PREFIX="$TMP/prefix"
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

cmake --install "$BUILD" --prefix "$PREFIX" >/dev/null

# The layout, relative to the prefix.
expected=(
  bin/vuzo bin/zero bin/kontomat bin/nowa-hala libexec/hala-oswietlenie/uruchom
  share/applications/example.veltrona.vuzo.desktop share/applications/example.veltrona.kontomat.desktop
  share/metainfo/example.veltrona.vuzo.metainfo.xml share/icons/hicolor/scalable/apps/hala-oswietlenie.svg
  share/doc/hala-oswietlenie/copyright share/doc/hala-oswietlenie/changelog.Debian.gz
  share/doc/hala-oswietlenie/examples/hala.conf share/doc/hala-oswietlenie/examples/centrala.conf
  lib/sysusers.d/hala-oswietlenie.conf
)
programs=(vuzo zero kontomat nowa-hala)
if [ -x "$BUILD/harmonogram/harmonogram" ]; then
  programs+=(harmonogram)
  expected+=(bin/harmonogram lib/systemd/system/harmonogram@.timer lib/systemd/system/harmonogram@.service)
fi
if [ -x "$BUILD/sterownik/sterownik" ]; then
  programs+=(sterownik)
  expected+=(bin/sterownik)
fi
for program in "${programs[@]}"; do
  expected+=("share/man/man1/$program.1.gz" "share/man/pl/man1/$program.1.gz")
done
for size in 16 32 48 64 128 256; do expected+=("share/icons/hicolor/${size}x$size/apps/hala-oswietlenie.png"); done
for file in "${expected[@]}"; do [ -f "$PREFIX/$file" ] || fail "not installed: $file"; done
for file in bin/vuzo bin/zero bin/kontomat bin/nowa-hala libexec/hala-oswietlenie/uruchom; do
  [ -x "$PREFIX/$file" ] || fail "not executable: $file"
done
# A packaged program finds its libraries in the system's directories alone.
sh "$SOURCE/tests/packaging/check_runpath.sh" --none "$PREFIX" >/dev/null || fail "a RUNPATH installed"

# The defaults exactly as shipped, and nothing more (a new hall has no schedule).
diff -r "$SOURCE/data/konfigurator" "$PREFIX/share/hala-oswietlenie/konfigurator" >/dev/null ||
  fail "installed defaults differ from data/konfigurator"

for size in 16 32 48 64 128 256; do
  file -b "$PREFIX/share/icons/hicolor/${size}x$size/apps/hala-oswietlenie.png" | grep -q "PNG image data, $size x $size" ||
    fail "icon ${size}x$size has another size"
done
for page in "$PREFIX"/share/man/man1/*.gz "$PREFIX"/share/man/pl/man1/*.gz; do
  warnings="$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)" || fail "man cannot show $page"
  [ -z "$warnings" ] || fail "$page: $warnings"
done
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$PREFIX"/share/applications/*.desktop || fail "desktop entries do not validate"
fi
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net --pedantic "$PREFIX/share/metainfo/example.veltrona.vuzo.metainfo.xml" >/dev/null ||
    fail "metainfo does not validate"
fi

# nowa-hala lays out a hall, all off, and refuses a second time without a change.
HALL="$TMP/hala"
"$PREFIX/bin/nowa-hala" "$HALL" >/dev/null || fail "nowa-hala failed in an empty place"
diff -r "$SOURCE/data/konfigurator" "$HALL/konfigurator" >/dev/null || fail "hall lacks the defaults"
[ "$(tr -d '\r\n' <"$HALL/actual.txt" | tr '&' '\n' | grep -c '^la[0-9]*=1$')" = 108 ] || fail "actual.txt not all off"
before="$(ls -lR --time-style=full-iso "$HALL")"
status=0
"$PREFIX/bin/nowa-hala" "$HALL" 2>"$TMP/err" || status=$?
[ "$status" = 1 ] && grep -q 'jest już hala' "$TMP/err" || fail "second nowa-hala not refused (status $status)"
[ "$before" = "$(ls -lR --time-style=full-iso "$HALL")" ] || fail "refused nowa-hala changed the hall"
status=0
HALA_ZERO=/bin/false "$PREFIX/bin/nowa-hala" "$TMP/broken" 2>/dev/null || status=$?
[ "$status" = 1 ] && [ ! -e "$TMP/broken/konfigurator" ] || fail "a failed zero left a half hall"

# Given to a group, both directories and every file are the group's to
# write, and the directories hand the group on to what is made in them.
if [ "$(id -u)" = 0 ]; then
  SHARED="$TMP/wspolna"
  "$PREFIX/bin/nowa-hala" --grupa users "$SHARED" >/dev/null || fail "nowa-hala --grupa users failed"
  for dir in "$SHARED" "$SHARED/konfigurator"; do
    [ "$(stat -c %G "$dir")" = users ] && [ -g "$dir" ] && [ "$(stat -c %A "$dir" | cut -c5-7)" = rws ] ||
      fail "$dir: $(stat -c '%G %A' "$dir"), not the group's with set-group-ID"
  done
  for file in "$SHARED/actual.txt" "$SHARED"/konfigurator/*; do
    [ "$(stat -c %G "$file")" = users ] && [ "$(stat -c %A "$file" | cut -c5-6)" = rw ] ||
      fail "$file: $(stat -c '%G %A' "$file"), not the group's to write"
  done
  status=0
  "$PREFIX/bin/nowa-hala" --grupa brak-takiej-grupy "$TMP/bez" 2>/dev/null || status=$?
  [ "$status" = 1 ] && [ ! -e "$TMP/bez/konfigurator" ] || fail "an unknown group was not refused"
fi

# Without a display the programs say so in Polish; the launcher starts kontomat
# first only in a hall without an account (the writer's leftovers and the
# schedule files are no accounts).
nodisplay() { env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$@"; }
status=0
(cd "$HALL/konfigurator" && nodisplay "$PREFIX/bin/vuzo") 2>"$TMP/err" || status=$?
[ "$status" = 1 ] && grep -q 'xvfb-run' "$TMP/err" || fail "vuzo without a display: status $status"
touch "$HALL/konfigurator/.hall-a1B2c3" "$HALL/konfigurator/tydzien.txt" "$HALL/konfigurator/DATY.TXT"
HALA="$HALL" nodisplay "$PREFIX/libexec/hala-oswietlenie/uruchom" vuzo >/dev/null 2>"$TMP/err" || true
grep -q '^kontomat: brak ekranu' "$TMP/err" || fail "launcher did not start kontomat in a hall without an account"
printf 'beh\r\n' >"$HALL/konfigurator/operator"
HALA="$HALL" nodisplay "$PREFIX/libexec/hala-oswietlenie/uruchom" vuzo >/dev/null 2>"$TMP/err" || true
! grep -q '^kontomat' "$TMP/err" && grep -q '^vuzo: brak ekranu' "$TMP/err" || fail "launcher with an account"
HALA="$TMP/menu-hall" nodisplay "$PREFIX/libexec/hala-oswietlenie/uruchom" kontomat >/dev/null 2>&1 || true
[ -f "$TMP/menu-hall/actual.txt" ] || fail "launcher did not lay out a missing hall"

# The installed configurator starts in that hall and keeps running.
status=0
(cd "$HALL/konfigurator" && QT_QPA_PLATFORM=offscreen timeout 3 "$PREFIX/bin/vuzo") >/dev/null 2>&1 || status=$?
[ "$status" = 124 ] || fail "installed vuzo ended with status $status instead of running"

[ "$failures" = 0 ] && echo "installed layout and programs: ok"
exit "$failures"
