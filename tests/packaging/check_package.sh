#!/usr/bin/env bash
# Unpacks the Debian package that `make package` built and checks that lintian finds neither an
# error nor a warning in it (informational tags may stay), that its binary is stripped, that it
# carries its copyright file and changelog, that its manual page and bash completion work
# (check_manual_and_completion.sh) and that it depends on Qt Widgets.
#   check_package.sh BUILD_DIR
set -euo pipefail
build=$1
here=$(dirname "$(realpath "$0")")
deb=$(ls "$build"/package/parvane_*.deb)
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
fail() {
    echo "$deb: $*" >&2
    exit 1
}

dpkg-deb -x "$deb" "$root"
for file in usr/share/doc/parvane/copyright usr/share/doc/parvane/changelog.gz; do
    [[ -f $root/$file ]] || fail "falta $file"
done
remarks=$(lintian --fail-on error,warning "$deb" 2>&1) || fail "lintian: $remarks"
"$here/check_manual_and_completion.sh" "$root/usr/bin/parvane" \
    "$root/usr/share/man/man1/parvane.1.gz" "$root/usr/share/bash-completion/completions/parvane" \
    >/dev/null || fail "página de manual o completado de bash"
file "$root/usr/bin/parvane" | grep -q ', stripped' || fail "usr/bin/parvane conserva sus símbolos de depuración"
dpkg-deb -f "$deb" Depends | grep -q libqt6widgets6 || fail "no depende de libqt6widgets6"
echo "paquete correcto: $deb"
