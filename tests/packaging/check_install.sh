#!/usr/bin/env bash
# Installs the build into a scratch DESTDIR and checks what a desktop needs from it.
set -euo pipefail
build=$1
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT

DESTDIR=$root cmake --install "$build" --prefix /usr >/dev/null
for file in usr/bin/parvane \
            usr/share/applications/org.example.parvane.desktop \
            usr/share/metainfo/org.example.parvane.metainfo.xml \
            usr/share/icons/hicolor/48x48/apps/org.example.parvane.png; do
    [[ -f $root/$file ]] || { echo "falta $file"; exit 1; }
done
desktop-file-validate "$root/usr/share/applications/org.example.parvane.desktop"
appstreamcli validate --no-net "$root/usr/share/metainfo/org.example.parvane.metainfo.xml"
grep -q '^Categories=.*Development;.*Utility;' "$root/usr/share/applications/org.example.parvane.desktop"
grep -q '^MimeType=text/plain;' "$root/usr/share/applications/org.example.parvane.desktop"
"$root/usr/bin/parvane" --version
echo "instalación correcta"
