#!/usr/bin/env bash
# Checks the manual page and the bash completion as a user meets them: the page renders without a
# single groff warning, the completion completes an option, a format and a file name, and every
# option that `parvane --help` lists is in the rendered page and among the completion's options.
#   check_manual_and_completion.sh PARVANE MANUAL_PAGE COMPLETION
# MANUAL_PAGE may be compressed with gzip. Needs man-db and bash-completion.
set -euo pipefail
parvane=$(realpath "$1")
manual=$(realpath "$2")
completion=$(realpath "$3")
failures=0
fail() {
    echo "FALLA: $*" >&2
    failures=$((failures + 1))
}

# The page as `man` shows it, 80 columns wide; groff's warnings go to stderr.
page=$(mktemp)
warnings=$(mktemp)
work=$(mktemp -d)
trap 'rm -rf "$page" "$warnings" "$work"' EXIT
LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$manual" >"$page" 2>"$warnings" ||
    fail "man no muestra $manual: $(cat "$warnings")"
[[ ! -s $warnings ]] || fail "avisos de groff en $manual: $(cat "$warnings")"
grep -q '^NOMBRE' "$page" && grep -q 'parvane - compara' "$page" ||
    fail "$manual no tiene la sección NOMBRE con «parvane - …»"

# candidates WORD...: the candidates the completion offers for the last WORD of "parvane WORD...",
# run in the folder $work.
helpers=/usr/share/bash-completion/bash_completion
[[ -f $helpers ]] || fail "falta $helpers (scripts/bootstrap instala bash-completion)"
candidates() {
    (cd "$work" && bash -c '
        source "$0"
        source "$1"
        shift
        COMP_WORDS=(parvane "$@")
        COMP_CWORD=$#
        COMP_LINE="parvane $*"
        COMP_POINT=${#COMP_LINE}
        _parvane parvane "${COMP_WORDS[-1]}" "${COMP_WORDS[-2]}" 2>/dev/null
        printf "%s\n" "${COMPREPLY[@]}"' "$helpers" "$completion" "$@")
}
touch "$work/uno.txt" "$work/dos.txt"
expect_completion() { # expect_completion EXPECTED WORD...
    local expected=$1 got
    shift
    got=$(candidates "$@" | tr '\n' ' ')
    [[ $got == "$expected " ]] || fail "«parvane $*» se completa con «$got», no con «$expected»"
}
expect_completion --sin-limite --sin
expect_completion json --formato=j
expect_completion json --formato j
expect_completion uno.txt u
expect_completion dos.txt --informe uno.txt d
touch "$work/-raro.txt"
expect_completion -raro.txt --informe -- -r

# Every option of the help: the tag of an entry of the page (the line after a .TP) and among the
# completion's options.
options=$("$parvane" --help | sed -n '/^Opciones:/,/^$/p' | grep -E '^ +-' |
    sed -E 's/^ +//; s/  .*//' | grep -oE -- '--?[a-z][a-z-]*')
[[ -n $options ]] || fail "parvane --help no lista ninguna opción"
described=$(zcat -f "$manual" | awk '/^\.TP/ { getline; print }' | sed 's/\\-/-/g')
offered=" $(candidates - | sed 's/=$//' | tr '\n' ' ')"
for option in $options; do
    grep -qE -- "(^|[^a-z-])$option([^a-z-]|$)" <<<"$described" ||
        fail "la página de manual no tiene una entrada para $option"
    [[ $offered == *" $option "* ]] || fail "el completado de bash no ofrece $option"
done

if ((failures > 0)); then
    exit 1
fi
echo "página de manual y completado correctos: $(wc -w <<<"$options") opciones"
