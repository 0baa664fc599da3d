#!/usr/bin/env bash
# Unpacks the Debian package that `make package` built and checks that its binary is stripped,
# that it carries its copyright file and that it depends on Qt Widgets.
#   check_package.sh BUILD_DIR
set -euo pipefail
build=$1
deb=$(ls "$build"/package/parvane_*.deb)
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
fail() {
    echo "$deb: $*" >&2
    exit 1
}

dpkg-deb -x "$deb" "$root"
[[ -f $root/usr/share/doc/parvane/copyright ]] || fail "falta usr/share/doc/parvane/copyright"
file "$root/usr/bin/parvane" | grep -q ', stripped' || fail "usr/bin/parvane conserva sus símbolos de depuración"
dpkg-deb -f "$deb" Depends | grep -q libqt6widgets6 || fail "no depende de libqt6widgets6"
echo "paquete correcto: $deb"
