#!/usr/bin/env bash
# The desktop entry, icon and document type land where a desktop looks, and agree with each other.
set -euo pipefail
root=$1
program=$2
data=$(mktemp -d)
trap 'rm -rf "$data"' EXIT
"$root/scripts/install-desktop.sh" "$program" "$data"
fail() { echo "FAIL: $*"; exit 1; }
entry=$data/applications/korvane.desktop
[ -f "$entry" ] || fail "no desktop entry"
[ -f "$data/icons/hicolor/scalable/apps/korvane.svg" ] || fail "no icon"
[ -f "$data/mime/packages/korvane.xml" ] || fail "no document type"
grep -qx "Exec=\"$program\" %f" "$entry" || fail "Exec does not start $program with the file"
grep -qx 'Icon=korvane' "$entry" || fail "icon name"
type=$(sed -n 's/.*mime-type type="\([^"]*\)".*/\1/p' "$data/mime/packages/korvane.xml")
grep -qx "MimeType=$type;" "$entry" || fail "entry does not open $type"
grep -q 'glob pattern="\*.krv"' "$data/mime/packages/korvane.xml" || fail "no *.krv glob"
if command -v update-mime-database >/dev/null; then
    # The database built from our XML maps .krv files to the type.
    grep -q "$type:\*.krv" "$data/mime/globs2" || fail "*.krv is not in the built database"
fi
echo "desktop entry, icon and document type installed"
