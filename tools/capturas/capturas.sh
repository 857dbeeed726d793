#!/usr/bin/env bash
# Takes the README's pictures (docs/*.png) from the real program under Xvfb:
#   bash tools/capturas/capturas.sh   (as root, or a user with sudo to install what is missing)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

missing=()
for p in xvfb xauth x11-utils; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }
    as_root apt-get update -qq
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

cmake -S "$root" -B "$root/build" -G Ninja >/dev/null
cmake --build "$root/build" --target letrador-capturas cartel-virtual letrador_fonts \
    letrador_messages letrador_help

# A working folder of its own, so the pictures never depend on what was edited in build/work.
work=$(mktemp -d "${TMPDIR:-/tmp}/letrador-capturas.XXXXXX")
trap 'rm -rf "$work"' EXIT
cp -r "$root/build/work/tipografias" "$root/build/work/mensajes" "$root/build/work/ayuda" "$work/"
cd "$work"
PATH="$root/build/tools/cartel-virtual:$PATH" xvfb-run -a -s "-screen 0 1280x900x24" \
    "$root/build/tools/capturas/letrador-capturas" "$root/docs" bienvenida.fmv
