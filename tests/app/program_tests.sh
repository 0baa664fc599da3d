#!/usr/bin/env bash
# The program as a user starts it from a shell: exit statuses and messages that need no window.
# Usage: program_tests.sh PATH_TO_PARVANE
set -u
parvane=$1
failures=0

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

exit $((failures > 0))
