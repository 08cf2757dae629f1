#!/usr/bin/env bash
# Brings translations/*.ts up to date with the texts of the sources (lupdate):
# new texts come in unfinished, texts no longer used go. Translate the new ones
# with Qt Linguist (or by hand in the file); the build makes the .qm files.
# With --check, changes nothing and fails when a translation is not up to date
# or not finished.
set -euo pipefail
cd "$(dirname "$0")/.."
LUPDATE=${LUPDATE:-/usr/lib/qt6/bin/lupdate}
OPTIONS=(-silent -no-obsolete -locations none -extensions cpp,h
  -tr-function-alias Q_DECLARE_TR_FUNCTIONS+=TRANSLATION_CONTEXT,QT_TRANSLATE_NOOP+=TRANSLATABLE)
SOURCES=(src app)
if [ "${1:-}" != --check ]; then
  "$LUPDATE" "${OPTIONS[@]}" -target-language ru "${SOURCES[@]}" -ts translations/tavisto_ru.ts 2>&1 |
    grep -v 'Qualifying with unknown namespace/class ::std' || true
  exit 0
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
for ts in translations/*.ts; do
  cp "$ts" "$work/check.ts"
  "$LUPDATE" "${OPTIONS[@]}" "${SOURCES[@]}" -ts "$work/check.ts" 2>&1 |
    grep -v 'Qualifying with unknown namespace/class ::std' || true
  if ! cmp -s "$ts" "$work/check.ts"; then
    echo "$ts does not hold the texts of the sources: run scripts/translations.sh" >&2
    diff "$ts" "$work/check.ts" | head -20 >&2
    status=1
  fi
  unfinished=$(grep -c 'type="unfinished"' "$work/check.ts" || true)
  if [ "$unfinished" -ne 0 ]; then
    echo "$ts: $unfinished texts are not translated" >&2
    grep -B2 'type="unfinished"' "$work/check.ts" | grep '<source>' | head -20 >&2
    status=1
  fi
done
exit $status
