#!/bin/sh
# The controller's folders and what each may include, besides common/ and
# itself: a header found anywhere else fails the check, with the line.
# Usage: check_layers.sh SOURCE_DIR
cd "$1/sterownik" || exit 2
allowed() {
  case "$1" in
    loop) echo "" ;;
    ledger) echo "loop" ;;
    rules) echo "loop" ;;
    mqtt) echo "loop rules" ;;
    modbus) echo "loop rules hall/hall_view.h" ;;
    hall) echo "loop rules mqtt modbus ledger" ;;
    panel) echo "loop rules hall mqtt modbus ledger" ;;
  esac
}
status=0
for folder in loop rules mqtt modbus hall ledger panel; do
  for file in "$folder"/*.h "$folder"/*.cpp; do
    [ -e "$file" ] || continue
    sed -n 's/^#include "\(.*\)"$/\1/p' "$file" | while read -r header; do
      [ -e "$folder/$header" ] || [ -e "../common/$header" ] && continue
      found=$(ls -d */"$header" "$header" 2>/dev/null | head -1)
      ok=no
      for layer in $(allowed "$folder"); do
        case "$found" in "$layer" | "$layer"/*) ok=yes ;; esac
      done
      [ "$ok" = yes ] || { echo "sterownik/$file includes $header (${found:-not found}), which $folder/ may not"; exit 1; }
    done || status=1
  done
done
exit $status
