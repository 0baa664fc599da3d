#!/usr/bin/env bash
# Installs the build into a scratch DESTDIR, stripped as the Debian package is, and checks what a
# desktop and Debian need from it: every file in its place, a stripped binary that answers
# --version, a desktop entry and AppStream metainfo that their validators pass without a single
# remark (a hint or an info fails the test as an error does), a changelog whose latest entry is
# this version and its date, and the manual page and bash completion
# (check_manual_and_completion.sh).
#   check_install.sh BUILD_DIR APPLICATION_ID VERSION RELEASE_DATE
set -euo pipefail
build=$1
id=$2
version=$3
release_date=$4
here=$(dirname "$(realpath "$0")")
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
fail() {
    echo "$*" >&2
    exit 1
}

DESTDIR=$root cmake --install "$build" --prefix /usr --strip >/dev/null
desktop=usr/share/applications/$id.desktop
metainfo=usr/share/metainfo/$id.metainfo.xml
for file in usr/bin/parvane "$desktop" "$metainfo" \
            usr/share/icons/hicolor/48x48/apps/$id.png \
            usr/share/doc/parvane/copyright usr/share/doc/parvane/changelog.gz \
            usr/share/man/man1/parvane.1.gz usr/share/bash-completion/completions/parvane; do
    [[ -f $root/$file ]] || fail "falta $file"
done

# desktop-file-validate prints nothing for a clean file, and exits 0 even after hints.
remarks=$(desktop-file-validate "$root/$desktop" 2>&1) || fail "$remarks"
[[ -z $remarks ]] || fail "$remarks"
# appstreamcli exits 0 after infos and pedantic remarks, which it prints as "I: ...", "P: ...".
remarks=$(appstreamcli validate --no-net --pedantic "$root/$metainfo" 2>&1) || fail "$remarks"
if grep -qE '^[A-Z]: ' <<<"$remarks"; then
    fail "$remarks"
fi

# One main category, so that menus list the program once.
grep -qx 'Categories=Utility;TextTools;' "$root/$desktop" || fail "categorías inesperadas"
grep -qx 'MimeType=text/plain;' "$root/$desktop" || fail "falta MimeType=text/plain;"
grep -qx "Icon=$id" "$root/$desktop" || fail "el icono no es $id"
grep -qF "<release version=\"$version\"" "$root/$metainfo" || fail "la metainfo no tiene la versión $version"
grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' \
    "$root/usr/share/doc/parvane/copyright" || fail "copyright sin formato legible por máquina"

changelog=$root/usr/share/doc/parvane/changelog.gz
[[ $(dpkg-parsechangelog -l "$changelog" -S Version) == "$version" ]] ||
    fail "la última entrada de changelog no es la versión $version"
[[ $(date -u -d "$(dpkg-parsechangelog -l "$changelog" -S Date)" +%F) == "$release_date" ]] ||
    fail "la última entrada de changelog no tiene la fecha $release_date"
"$here/check_manual_and_completion.sh" "$root/usr/bin/parvane" \
    "$root/usr/share/man/man1/parvane.1.gz" "$root/usr/share/bash-completion/completions/parvane" \
    >/dev/null

file "$root/usr/bin/parvane" | grep -q ', stripped' || fail "usr/bin/parvane conserva sus símbolos de depuración"
"$root/usr/bin/parvane" --version | grep -qF "$version" || fail "parvane --version no dice $version"
echo "instalación correcta"
