#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the demo need.
# Idempotent: installs only what is missing. No 32-bit Wine (it cannot run here).
set -euo pipefail

PACKAGES=(
  # build: native and both Windows cross compilers (nm, objdump, dlltool, windres)
  cmake ninja-build g++ make pkg-config binutils ccache
  libgtest-dev libgmock-dev libserialport-dev
  # vokcli monitor/history: the plant file's JSON reader, SQLite storage (and its shell for tests)
  nlohmann-json3-dev libsqlite3-dev sqlite3
  # vokcli monitor's exporters, and the broker, client and Prometheus server its tests start
  libmicrohttpd-dev libmosquitto-dev mosquitto mosquitto-clients prometheus
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix binutils-mingw-w64
  # Wine tests and the demo: wine64 (no 32-bit Wine), an X server, screenshots (import)
  wine64 xvfb x11-utils imagemagick
  # Wine's own fonts (the dialog fonts) and the Chinese fonts linked to them (Zen Hei draws
  # the degree-Celsius sign that Micro Hei leaves blank); installs run without recommends,
  # so the X libraries Wine's display driver loads are named here
  fonts-wine fonts-wqy-microhei fonts-wqy-zenhei
  libxrender1 libxrandr2 libxcursor1 libxi6 libxinerama1 libxcomposite1 libxfixes3 libxxf86vm1
  # test scripts: pty and TCP peers, python test drivers, pgrep, flock/setsid
  socat python3 procps util-linux iproute2
  # resource checks of the Windows binaries: version resource and manifest (PE reader)
  python3-pefile
  # make package: Debian package tools (dpkg-shlibdeps, file) and its check (lintian)
  dpkg-dev file lintian
)

# `setup.sh fuzz`: also the clang toolchain and sanitizer runtimes of `make fuzz`.
if [ "${1:-}" = fuzz ]; then
  PACKAGES+=(clang libclang-rt-14-dev)
fi

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "setup: missing ${missing[*]}; run as root (no sudo here)" >&2; exit 1; }
    SUDO="sudo"
fi
echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
