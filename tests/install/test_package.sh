#!/usr/bin/env bash
# Builds the Debian package from BUILD_DIR, unpacks it into a temporary root, and starts the
# installed programs from there with an empty home: the user's working folder must be seeded
# from the package's own data.
set -euo pipefail
build=${1:?carpeta de compilación}
scratch=$(mktemp -d "${TMPDIR:-/tmp}/letrador-paquete.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

fail() { echo "FALLO: $*" >&2; exit 1; }

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/paquete" >"$scratch/cpack.log" 2>&1 \
    || { cat "$scratch/cpack.log" >&2; fail "cpack no pudo armar el paquete"; }
deb=$(ls "$scratch"/paquete/*.deb 2>/dev/null | head -n1)
[ -n "$deb" ] || fail "no se generó ningún .deb"

fields=$(dpkg-deb -f "$deb" Package Depends)
grep -q '^Package: letrador$' <<<"$fields" || fail "nombre del paquete: $fields"
grep -q 'libqt6serialport6' <<<"$fields" || fail "faltan dependencias: $fields"

root="$scratch/raiz"
dpkg-deb -x "$deb" "$root"
for f in usr/bin/letrador usr/bin/letrador-cli usr/bin/cartel-virtual \
         usr/share/letrador/tipografias/normal.ffv usr/share/letrador/tipografias/negrita.ffv \
         usr/share/letrador/tipografias/angosta.ffv usr/share/letrador/mensajes/bienvenida.fmv \
         usr/share/letrador/ayuda/letrador.html usr/share/letrador/ayuda/Archivos/marca.txt \
         usr/share/letrador/ayuda/Archivos/logo.jpg usr/share/applications/letrador.desktop \
         usr/share/icons/hicolor/scalable/apps/letrador.svg; do
    [ -e "$root/$f" ] || fail "el paquete no instala $f"
done

# Start the installed programs from a folder without tipografias/ and a fresh home.
mkdir -p "$scratch/home" "$scratch/vacia"
cd "$scratch/vacia"
run() { env -u XDG_DATA_HOME HOME="$scratch/home" "$@"; }

out=$(run "$root/usr/bin/letrador-cli" --help) || fail "letrador-cli --help terminó con error"
grep -q 'Uso' <<<"$out" || fail "letrador-cli --help no muestra el uso: $out"
run "$root/usr/bin/letrador" --help >/dev/null || fail "letrador --help terminó con error"

work="$scratch/home/.local/share/letrador"
out=$(run "$root/usr/bin/letrador-cli" contar "$work/mensajes/bienvenida.fmv") \
    || fail "letrador-cli contar terminó con error: $out"
[ -f "$work/tipografias/normal.ffv" ] || fail "la carpeta del usuario no se llenó con las tipografías"
[ -f "$work/ayuda/letrador.html" ] || fail "la carpeta del usuario no tiene la ayuda"
grep -Eq '^Párrafo 1: [1-9][0-9]* columnas' <<<"$out" || fail "conteo inesperado: $out"
grep -q '^Total: ' <<<"$out" || fail "sin total: $out"
echo "paquete $(basename "$deb") instalado y probado"
