#!/usr/bin/env bash
# letrador-cli's bash completion, driven as bash drives it: each line of the table is the words
# typed so far (the last one being completed) and the candidates it must offer.
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
mkdir -p "$work/tipografias" "$work/mensajes" "$work/puertos" "$scratch/actual/sub"
touch "$work/mensajes/alta.fmv" "$work/mensajes/baja.fmv" "$work/mensajes/notas.txt"
ln -s /dev/null "$work/puertos/COM7"
echo /dev/null >"$work/puertos/COM200"
touch "$work/puertos/COM0" "$work/puertos/COM300" "$work/puertos/COMx"
touch "$scratch/actual/aviso.fmv" "$scratch/actual/leame.txt"
export HOME="$scratch/casa"
unset XDG_DATA_HOME
mkdir -p "$HOME/.local/share/letrador/puertos"
ln -s /dev/null "$HOME/.local/share/letrador/puertos/COM9"
cd "$scratch/actual"

offered() {  # WORD... : the sorted candidates for the last word
    COMP_WORDS=(letrador-cli "$@")
    COMP_CWORD=$#
    COMP_LINE="${COMP_WORDS[*]}"
    COMP_POINT=${#COMP_LINE}
    COMPREPLY=()
    _letrador_cli letrador-cli "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    printf '%s\n' "${COMPREPLY[@]}" | sed '/^$/d' | sort -u | tr '\n' ' ' | sed 's/ $//'
}

failures=0
check() {  # EXPECTED WORD...
    local expected=$1 got
    shift
    got=$(offered "$@")
    if [ "$got" != "$expected" ]; then
        echo "FALLO: letrador-cli $* -> \"$got\", se esperaba \"$expected\"" >&2
        failures=$((failures + 1))
    fi
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

# Port numbers: the working folder's puertos/COMn entries from 1 to 255, and the numbers whose
# standard device exists on this machine; nothing else.
ports_check() {  # ENTRIES(space separated) WORD...
    local entries=$1 n device
    shift
    for n in $(offered "$@"); do
        if [[ " $entries " == *" $n "* ]]; then continue; fi
        if ((n >= 1 && n <= 32)); then device=/dev/ttyS$((n - 1))
        elif ((n >= 33 && n <= 64)); then device=/dev/ttyUSB$((n - 33))
        elif ((n >= 65 && n <= 96)); then device=/dev/ttyACM$((n - 65))
        else device=""; fi
        if [ -z "$device" ] || [ ! -e "$device" ]; then
            echo "FALLO: letrador-cli $* ofrece el puerto $n, que no tiene dispositivo" >&2
            failures=$((failures + 1))
        fi
    done
    for n in $entries; do
        if [[ " $(offered "$@") " != *" $n "* ]]; then
            echo "FALLO: letrador-cli $* no ofrece el puerto $n de puertos/COM$n" >&2
            failures=$((failures + 1))
        fi
    done
}
ports_check "7 200" grabar --carpeta "$work" --puerto ""
ports_check "9"     turnero 1 --puerto ""
ports_check "200"   grabar --carpeta "$work" --puerto 2
ports_check ""   grabar --carpeta "$work" --puerto 30

# After a comma of --puerto: the numbers already named stay, each other port follows once.
after_comma() {  # TYPED EXPECTED_TAILS WORD...
    local typed=$1 tails=$2 got c
    shift 2
    got=$(offered "$@" --puerto "$typed")
    for c in $got; do
        if [[ $c != "${typed%,*},"* || ,${typed%,*}, == *",${c##*,},"* ]]; then
            echo "FALLO: letrador-cli $* --puerto $typed ofrece $c" >&2
            failures=$((failures + 1))
        fi
    done
    for c in $tails; do
        if [[ " $got " != *" ${typed%,*},$c "* ]]; then
            echo "FALLO: letrador-cli $* --puerto $typed no ofrece ${typed%,*},$c" >&2
            failures=$((failures + 1))
        fi
    done
}
after_comma 7,    "200" grabar --carpeta "$work"
after_comma 200,  "7"   turnero 2 --carpeta "$work"
after_comma 7,2   "200" grabar --carpeta "$work"
after_comma 7,200, ""   grabar --carpeta "$work"

[ "$failures" -eq 0 ] || exit 1
echo "completado de letrador-cli probado"
