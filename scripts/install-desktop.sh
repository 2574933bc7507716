#!/usr/bin/env bash
# install-desktop.sh PROGRAM [DATA_DIR]: makes Korvane known to the desktop: the application entry
# (opening .krv documents), its icon and the document type. DATA_DIR defaults to the user's
# ($XDG_DATA_HOME, else ~/.local/share); /usr/local/share or /usr/share install for everyone.
set -euo pipefail
program=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
data=${2:-${XDG_DATA_HOME:-$HOME/.local/share}}
root=$(cd "$(dirname "$0")/.." && pwd)
src=$root/resources
mkdir -p "$data/applications" "$data/icons/hicolor/scalable/apps" "$data/mime/packages"
# Exec keeps the program's path quoted, as the desktop entry format asks for paths with spaces.
sed "s|@KORVANE_EXEC@|\"$program\"|" "$src/desktop/korvane.desktop.in" >"$data/applications/korvane.desktop"
cp "$src/icons/korvane.svg" "$data/icons/hicolor/scalable/apps/korvane.svg"
cp "$src/desktop/korvane-mime.xml" "$data/mime/packages/korvane.xml"
# The caches are refreshed where the tools are there; without them the files still take effect
# at the desktop's next scan.
if command -v update-mime-database >/dev/null; then update-mime-database "$data/mime" >/dev/null 2>&1 || true; fi
if command -v update-desktop-database >/dev/null; then update-desktop-database "$data/applications" >/dev/null 2>&1 || true; fi
if command -v gtk-update-icon-cache >/dev/null; then gtk-update-icon-cache -q -t "$data/icons/hicolor" >/dev/null 2>&1 || true; fi
