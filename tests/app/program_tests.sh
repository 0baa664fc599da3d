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

# Refused command lines: status 2 and a Spanish reason that names the option. The two files
# differ, so that a command line taken by mistake ends with status 1 instead.
cd "$work" || exit 1
echo uno >uno.txt
echo dos >dos.txt
while IFS='|' read -r name pattern arguments; do
    # shellcheck disable=SC2086 # the table's arguments are split at its spaces
    expect "regression: $name" 2 "$pattern" "$parvane" $arguments
done <<'TABLE'
a value given to --informe is refused in Spanish|--informe no admite ningún valor: «--informe=si»|--informe=si uno.txt dos.txt
a value given to --help is refused in Spanish|--help no admite ningún valor|--help=x
a value given to -h is refused in Spanish|-h no admite ningún valor|-h=x
a value given to --version is refused in Spanish|--version no admite ningún valor|--version=1
a value given to -v is refused in Spanish|-v no admite ningún valor|-v=1
a value given to --sin-limite is refused in Spanish|--sin-limite no admite ningún valor|--sin-limite=no uno.txt dos.txt
--max-lineas without its number is refused in Spanish|--max-lineas necesita un número de líneas$|--informe uno.txt dos.txt --max-lineas
--formato without its format is refused in Spanish|--formato necesita un formato|uno.txt dos.txt --formato
--html without its file is refused in Spanish|--html necesita el nombre del fichero|uno.txt dos.txt --html
a second --html is refused|--html admite un solo valor, y se ha dado 2 veces: «a.html», «b.html»|--html a.html --html=b.html uno.txt dos.txt
a second --formato is refused|--formato admite un solo valor|--formato=json --formato json uno.txt dos.txt
a second --max-lineas is refused|--max-lineas admite un solo valor|--max-lineas=1 --max-lineas=2 uno.txt dos.txt
TABLE
if [[ -e a.html || -e b.html ]]; then
    echo "FALLA regression: a refused second --html writes no page"
    failures=$((failures + 1))
fi

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
