#!/usr/bin/env bash
# The Debian package as Debian's tools see it (lintian, AppStream, man, --help against the manual
# pages, --version), then unpacked into a temporary root and started from there with an empty
# home, whose working folder must be seeded from the package's own data.
#   test_package.sh BUILD_DIR VERSION README [sin-lintian]
set -euo pipefail
build=${1:?carpeta de compilación}
version=${2:?versión del proyecto}
readme=${3:?README del proyecto}
lint=${4:-con-lintian}
scratch=$(mktemp -d "${TMPDIR:-/tmp}/letrador-paquete.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

fail() { echo "FALLO: $*" >&2; exit 1; }
for tool in dpkg-deb lintian appstreamcli man; do command -v "$tool" >/dev/null || fail "falta $tool"; done
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/paquete" >"$scratch/cpack.log" 2>&1 \
    || { cat "$scratch/cpack.log" >&2; fail "cpack no pudo armar el paquete"; }
deb=$(ls "$scratch"/paquete/*.deb 2>/dev/null | head -n1)
[ -n "$deb" ] || fail "no se generó ningún .deb"
fields=$(dpkg-deb -f "$deb" Package Version Depends)
grep -q '^Package: letrador$' <<<"$fields" || fail "nombre del paquete: $fields"
grep -qx "Version: $version" <<<"$fields" || fail "el paquete no lleva la versión $version: $fields"
grep -q 'libqt6serialport6' <<<"$fields" || fail "faltan dependencias: $fields"

# lintian: no error or warning; an informational tag only when the README's Installing names it.
if [ "$lint" != sin-lintian ]; then
    lintian --fail-on error,warning --display-info --no-tag-display-limit "$deb" >"$scratch/lintian.log" 2>&1 \
        || { cat "$scratch/lintian.log" >&2; fail "lintian informa errores o avisos, o no pudo revisar"; }
    installing=$(sed -n '/^## Installing/,/^## /p' "$readme")
    for tag in $(sed -n 's/^I: [^ ]*: \([^ ]*\).*/\1/p' "$scratch/lintian.log" | sort -u); do
        grep -q -- "\`$tag\`" <<<"$installing" || fail "lintian informa $tag y el README (Installing) no lo nombra"
    done
fi

root="$scratch/raiz"
dpkg-deb -x "$deb" "$root"
programs=(letrador letrador-cli letrador-servicio cartel-virtual letrador-fontc)
appid=$(sed -n 's:.*<id>\(.*\)</id>.*:\1:p' "$root"/usr/share/metainfo/*.metainfo.xml)
for f in usr/share/letrador/{tipografias/{normal,negrita,angosta}.ffv,mensajes/bienvenida.fmv} \
         usr/share/letrador/{ayuda/letrador.html,ayuda/Archivos/{marca.txt,logo.jpg}} \
         usr/share/letrador/servicio/{pagina.html,estilo.css,letrador.js} \
         usr/share/{applications/$appid.desktop,metainfo/$appid.metainfo.xml} \
         usr/share/icons/hicolor/scalable/apps/letrador.svg usr/share/bash-completion/completions/letrador-cli \
         usr/share/doc/letrador/{copyright,changelog.gz} usr/lib/systemd/system/letrador-servicio.service; do
    [ -e "$root/$f" ] || fail "el paquete no instala $f"
done
zcat "$root/usr/share/doc/letrador/changelog.gz" | head -n1 | grep -qF "letrador ($version)" \
    || fail "la última entrada del changelog no es la versión $version"

# The metainfo, and the desktop entry it launches, as a software centre reads them.
{ appstreamcli validate --no-net "$root/usr/share/metainfo/$appid.metainfo.xml" \
    && appstreamcli validate-tree --no-net "$root"; } >"$scratch/as.log" 2>&1 \
    || { cat "$scratch/as.log" >&2; fail "appstreamcli rechaza los metadatos o el árbol instalado"; }

# Start the installed programs from a folder without tipografias/ and a fresh home.
mkdir -p "$scratch/home" "$scratch/vacia" && cd "$scratch/vacia"
run() { env -u XDG_DATA_HOME HOME="$scratch/home" "$@"; }
console() { run env -u QT_QPA_PLATFORM -u DISPLAY -u WAYLAND_DISPLAY "$@"; }  # no display at all
# Long options a --help text lists, and those of a manual page's OPCIONES section.
help_options() { grep -oE -- '--[a-z][a-z0-9-]*' | sort -u; }
man_options() {
    zcat "$1" | awk '/^\.SH/ { inside = ($0 ~ /^\.SH "?OPCIONES"?$/) } inside' \
        | sed 's/\\-/-/g' | grep -oE -- '--[a-z][a-z0-9-]*' | sort -u
}
for p in "${programs[@]}"; do
    out=$(console "$root/usr/bin/$p" --version) || fail "$p --version terminó con error"
    [ "$out" = "$p $version" ] || fail "$p --version dice \"$out\", no \"$p $version\""
    page="$root/usr/share/man/man1/$p.1.gz"
    [ -f "$page" ] || fail "$p no tiene página de manual"
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null) \
        || fail "man no puede mostrar $p.1: $warnings"
    [ -z "$warnings" ] || fail "man --warnings en $p.1: $warnings"
    help=$(console "$root/usr/bin/$p" --help 2>/dev/null) || fail "$p --help terminó con error"
    options=$(help_options <<<"$help")
    [ -n "$options" ] || fail "$p --help no lista ninguna opción"
    apart=$(diff <(echo "$options") <(man_options "$page") | grep '^[<>]' | paste -sd ' ' || true)
    [ -z "$apart" ] || fail "$p --help (<) y su página de manual (>) no listan las mismas opciones: $apart"
done

work="$scratch/home/.local/share/letrador"
out=$(run "$root/usr/bin/letrador-cli" contar "$work/mensajes/bienvenida.fmv") \
    || fail "letrador-cli contar terminó con error: $out"
[ -f "$work/tipografias/normal.ffv" ] && [ -f "$work/ayuda/letrador.html" ] || fail "la carpeta del usuario no se llenó"
grep -qx 'Párrafo 1: 77 columnas' <<<"$out" && grep -q '^Total: ' <<<"$out" || fail "conteo inesperado: $out"
# The installed service finds its own pages and seeds its working folder (env execs it: $! is it).
env -u XDG_DATA_HOME HOME="$scratch/home" "$root/usr/bin/letrador-servicio" --carpeta "$scratch/servicio" \
    --escuchar 127.0.0.1:0 </dev/null >/dev/null 2>"$scratch/servicio.log" &
service=$!
for _ in $(seq 50); do grep -q 'atendiendo en' "$scratch/servicio.log" && break; sleep 0.1; done
port=$(sed -n 's|.*atendiendo en http://127.0.0.1:\([0-9]*\)/.*|\1|p' "$scratch/servicio.log")
[ -n "$port" ] || { kill "$service"; fail "letrador-servicio no arrancó: $(cat "$scratch/servicio.log")"; }
exec 3<>"/dev/tcp/127.0.0.1/$port"
printf 'GET /entrar HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n' >&3
page=$(cat <&3)
exec 3<&-
kill "$service"; wait "$service" || true
grep -q 'HTTP/1.1 200' <<<"$page" && grep -q 'estilo.css' <<<"$page" \
    || fail "letrador-servicio instalado no sirve su página de acceso: $page"
[ -f "$scratch/servicio/tipografias/normal.ffv" ] || fail "letrador-servicio no llenó su carpeta de trabajo"
echo "paquete $(basename "$deb") probado"
