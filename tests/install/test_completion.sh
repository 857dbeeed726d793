#!/usr/bin/env bash
# letrador-cli's bash completion, driven as bash drives it: each check is the candidates it must
# offer for the words typed so far, the last one being completed.
#   test_completion.sh COMPLETION_SCRIPT
set -uo pipefail
script=${1:?archivo de completado}
scratch=$(mktemp -d "${TMPDIR:-/tmp}/letrador-completado.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
# shellcheck source=/dev/null
source "$script" || { echo "FALLO: no se puede cargar $script" >&2; exit 1; }

# A working folder given with --carpeta, the default one in a fresh home, and a current folder
# that is neither.
work="$scratch/trabajo"
export HOME="$scratch/casa"
unset XDG_DATA_HOME
mkdir -p "$work"/{tipografias,mensajes,puertos} "$scratch/actual/sub" "$HOME/.local/share/letrador/puertos"
touch "$work"/mensajes/{alta.fmv,baja.fmv,notas.txt} "$scratch"/actual/{aviso.fmv,leame.txt}
touch "$work"/puertos/COM{0,256,x}
echo /dev/null >"$work/puertos/COM200"; echo /dev/null >"$work/puertos/COM255"
ln -s /dev/null "$work/puertos/COM7"
ln -s /dev/null "$HOME/.local/share/letrador/puertos/COM9"
cd "$scratch/actual"

failures=0
check() {  # EXPECTED WORD... : EXPECTED, the sorted candidates for the last word
    local expected=$1 got
    shift
    COMP_WORDS=(letrador-cli "$@")
    COMP_CWORD=$#
    COMPREPLY=()
    _letrador_cli letrador-cli "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    got=$(printf '%s\n' "${COMPREPLY[@]}" | sed '/^$/d' | sort -u | paste -sd ' ')
    [ "$got" = "$expected" ] && return
    echo "FALLO: letrador-cli $* -> \"$got\", se esperaba \"$expected\"" >&2
    failures=$((failures + 1))
}

check "contar grabar turnero"       ""
check "grabar"                      gr
check "--ayuda --help --version"    --
check "--carpeta"                   contar --
check "--carpeta --puerto"          grabar --
check "--carpeta --puerto --si"     turnero --
check "1 2 3"                       turnero ""
check ""                            turnero 2 ""
check "alta.fmv aviso.fmv baja.fmv sub" contar --carpeta "$work" ""
check "alta.fmv"                    grabar --carpeta "$work" al
check "aviso.fmv sub"               contar ""
check ""                            grabar aviso.fmv ""
check "$work/mensajes/alta.fmv $work/mensajes/baja.fmv" contar "$work/mensajes/"
check "$scratch/actual/sub"         grabar --carpeta "$scratch/actual/s"

# Port numbers: the puertos/COMn entries from 1 to 255 and the numbers whose standard device
# (COM1-32 ttyS, COM33-64 ttyUSB, COM65-96 ttyACM) is on this machine; after a comma the
# numbers already named stay in front and are not offered again.
present=$(for n in $(seq 96); do
    d=/dev/ttyACM$((n - 65)); ((n <= 64)) && d=/dev/ttyUSB$((n - 33)); ((n <= 32)) && d=/dev/ttyS$((n - 1))
    [ -e "$d" ] && echo "$n"; done)
ports() {  # TYPED ENTRIES... : what --puerto TYPED must offer
    local typed=$1 named="" n
    shift
    [[ $typed == *,* ]] && named=${typed%,*},
    for n in $present "$@"; do
        [[ ,$named == *,$n,* || $named$n != "$typed"* ]] || echo "$named$n"
    done | sort -u | paste -sd ' '
}
for typed in "" 2 30 7, 7,2 7,200, 200,1,; do
    check "$(ports "$typed" 7 200 255)" grabar --carpeta "$work" --puerto "$typed"
done
check "$(ports "" 9)"   turnero 1 --puerto ""
check "$(ports 9, 9)"   turnero 2 --si --puerto 9,

[ "$failures" -eq 0 ] || exit 1
echo "completado de letrador-cli probado"
