#!/usr/bin/env bash
# `cmake --install` into a DESTDIR: the layout an installed copy relies on, and the desktop entry
# and the AppStream metainfo as the desktop's own validators read them.
set -euo pipefail
build=$1 version=$2
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
DESTDIR="$root" cmake --install "$build" --prefix /usr > /dev/null
for f in bin/quenta share/quenta/about.htm share/quenta/user_guide.htm share/quenta/ap_agreement.htm \
         share/applications/quenta.desktop share/icons/hicolor/scalable/apps/quenta.svg \
         share/icons/hicolor/256x256/apps/quenta.png share/metainfo/org.quenta.Quenta.metainfo.xml; do
  [ -f "$root/usr/$f" ] || { echo "not installed: $f"; exit 1; }
done
[ -x "$root/usr/bin/quenta" ] || { echo "bin/quenta is not executable"; exit 1; }
# --version answers without a window system.
[ "$(env -u DISPLAY -u QT_QPA_PLATFORM "$root/usr/bin/quenta" --version)" = "Quenta $version" ] || { echo "--version"; exit 1; }
# The installed copy keeps its data in the user's folder, never beside the program.
XDG_DATA_HOME="$root/xdg" QT_QPA_PLATFORM=offscreen timeout 3 "$root/usr/bin/quenta" > /dev/null 2>&1 || true
[ -f "$root/xdg/Quenta/data/sample4.txt" ] || { echo "no samples in the user's data folder"; exit 1; }
[ ! -e "$root/usr/bin/data" ] || { echo "data written beside the installed program"; exit 1; }
desktop-file-validate "$root/usr/share/applications/quenta.desktop"
appstreamcli validate --no-net "$root/usr/share/metainfo/org.quenta.Quenta.metainfo.xml"
