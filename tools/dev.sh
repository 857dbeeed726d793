#!/usr/bin/env bash
# Set-up, build, start and test on a Debian 12 machine.
#   tools/dev.sh ejecutar   installs what is missing, builds, and starts the program with the
#                           virtual sign in the ready working folder build/work
#   tools/dev.sh pruebas    installs what is missing, builds, and runs every test, then again
#                           built with AddressSanitizer and UndefinedBehaviorSanitizer
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
jobs=$(nproc 2>/dev/null || echo 2)

packages=(cmake ninja-build g++ pkg-config qt6-base-dev qt6-serialport-dev libgl-dev
          libgtest-dev libgmock-dev libbenchmark-dev xdg-utils qt6-translations-l10n fonts-dejavu-core
          lintian appstream man-db groff-base)
# The end-to-end tests put a real serial device server in front of the virtual sign.
packages+=(ser2net)
# letrador-servicio: its HTTP server (built with OpenSSL for TLS), the password hash, and the
# browser its page tests drive.
packages+=(libcpp-httplib-dev libsodium-dev libssl-dev zlib1g-dev chromium chromium-driver python3-selenium)

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

install_missing() {
    local missing=()
    for p in "${packages[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        echo "Instalando: ${missing[*]}"
        as_root apt-get update -qq
        as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
    fi
}

build() {  # build DIR [cmake options...]
    local dir=$1; shift
    cmake -S "$root" -B "$dir" -G Ninja "$@" >/dev/null
    cmake --build "$dir" -j "$jobs"
}

case "${1:-}" in
    ejecutar)
        install_missing
        build "$root/build"
        cd "$root/build/work"
        exec "$root/build/app/letrador" --cartel-virtual
        ;;
    pruebas)
        install_missing
        build "$root/build"
        (cd "$root/build" && ctest --output-on-failure -j "$jobs")
        echo "== Con AddressSanitizer y UndefinedBehaviorSanitizer =="
        build "$root/build-asan" -DLETRADOR_SANITIZE=ON -DLETRADOR_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug
        cd "$root/build-asan"
        ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
        LSAN_OPTIONS=suppressions="$root/tests/lsan.supp" \
        UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
            ctest --output-on-failure -j "$jobs"
        ;;
    *)
        echo "Uso: tools/dev.sh ejecutar | pruebas" >&2
        exit 2
        ;;
esac
