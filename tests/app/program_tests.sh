#!/usr/bin/env bash
# The program as a user starts it from a shell: exit statuses and messages that need no window.
# Usage: program_tests.sh PATH_TO_PARVANE
set -u
parvane=$(realpath "$1")
failures=0
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

expect() { # expect NAME STATUS PATTERN COMMAND...: runs COMMAND, checks its status and stderr
    local name=$1 status=$2 pattern=$3
    shift 3
    local err
    err=$("$@" 2>&1 >/dev/null)
    local got=$?
    if [[ $got -ne $status ]] || ! grep -q -- "$pattern" <<<"$err"; then
        echo "FALLA $name: estado $got (se esperaba $status), salida: $err"
        failures=$((failures + 1))
    else
        echo "ok $name"
    fi
}

expect "regression: a failed write of the version exits 1" 1 "no se ha podido escribir" \
    sh -c "\"$parvane\" --version >/dev/full"
expect "regression: a failed write of the help exits 1" 1 "no se ha podido escribir" \
    sh -c "\"$parvane\" --help >/dev/full"
expect "regression: an unreachable display is said in Spanish" 1 "no se puede abrir la pantalla" \
    env DISPLAY=:97 WAYLAND_DISPLAY= QT_QPA_PLATFORM= XDG_RUNTIME_DIR= "$parvane" a b
expect "no display at all" 1 "necesita una sesión gráfica" \
    env DISPLAY= WAYLAND_DISPLAY= QT_QPA_PLATFORM= "$parvane" a b
expect "joined short options are quoted as typed" 2 "opción desconocida: -hv" "$parvane" -hv

check() { # check NAME COMMAND...: passes when COMMAND succeeds
    local name=$1
    shift
    if "$@"; then
        echo "ok $name"
    else
        echo "FALLA $name"
        failures=$((failures + 1))
    fi
}

# The HTML page, in a folder of its own.
cd "$work" || exit 1
printf 'a\nb\n' >uno.txt
printf 'a\nc\n' >dos.txt
is_page() { [[ $(head -c 15 "$1") == '<!DOCTYPE html>' && $(tail -n 1 "$1") == '</html>' ]]; }
unchanged() { [[ $(cat uno.txt) == $'a\nb' ]]; }

expect "regression: an input named as the page is refused" 2 \
    "No se puede escribir «uno.txt»: es uno de los ficheros que se comparan" \
    "$parvane" --informe --html uno.txt uno.txt dos.txt
check "regression: an input named as the page is left as it was" unchanged
"$parvane" --html salida.html uno.txt dos.txt >/dev/null
expect "regression: options in the wrong order do not replace a text file" 2 \
    "No se puede escribir «uno.txt»: ya existe y no es una página HTML" \
    "$parvane" --informe --html uno.txt dos.txt salida.html
check "regression: options in the wrong order leave the text file as it was" unchanged

# Standard output as the page, through a link as /dev/stdout is (a fault then replaces this link,
# not the system's): the page alone, to a pipe or to a file.
ln -s /proc/self/fd/1 salida-estandar
"$parvane" --html salida-estandar uno.txt dos.txt | cat >tuberia.html
check "regression: the page goes down a pipe, alone" is_page tuberia.html
"$parvane" --html salida-estandar uno.txt dos.txt >redirigida.html
check "regression: the page goes to the file standard output goes to, alone" \
    is_page redirigida.html
check "regression: the page leaves the link to standard output a link" test -L salida-estandar
"$parvane" --html >(cat >sustituida.html) uno.txt dos.txt >/dev/null
wait $!
check "regression: the page goes to a process substitution" is_page sustituida.html

# SIGINT and SIGTERM while a page is written: no hidden file left, the program ends as the signal
# would end it. The pair is big enough to take a while.
yes 'abcdefghij abcdefghij abcdefghij' | head -c 3000000 >grande1.txt
yes 'abcdefghij abcdefXhij abcdefghij' | head -c 3000000 >grande2.txt
for signal in INT TERM; do
    env --default-signal=INT "$parvane" --sin-limite --html grande.html grande1.txt grande2.txt \
        >/dev/null &
    pid=$!
    for _ in $(seq 1000); do
        [[ -n $(find . -maxdepth 1 -name '.*tmp' -size +0) ]] && break
        sleep 0.01
    done
    kill -s "$signal" "$pid"
    wait "$pid"
    status=$?
    check "regression: SIG$signal while the page is written ends the program as SIG$signal does" \
        test "$status" -eq $((128 + $(kill -l "$signal")))
    check "regression: SIG$signal while the page is written leaves no hidden file" \
        test -z "$(find . -maxdepth 1 -name '.*' ! -name . ! -name ..)" -a ! -e grande.html
done

exit $((failures > 0))
