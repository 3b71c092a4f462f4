# Sourced by scripts/run and scripts/test: installs what is missing, builds.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

# Debian packages the build, the tests and the demo need.
PACKAGES=(
  cmake ninja-build g++ pkg-config clang-format git
  qt6-base-dev libgl-dev libvulkan-dev
  libbenchmark-dev
  fonts-liberation fonts-dejavu-core
  xdg-utils
  dpkg-dev file man-db lintian desktop-file-utils appstream   # the package and its checks
  xvfb xauth openbox xdotool x11-utils imagemagick              # screenshots in a real X session
  systemd
  libmosquitto-dev nlohmann-json3-dev mosquitto mosquitto-clients   # the controller, its tests and the demo
  python3-paho-mqtt                                              # scripts/site: a site's brokers, bridged, driven
  libmodbus-dev mbpoll python3-pymodbus python3-serial-asyncio   # its Modbus devices and clients
  libsqlite3-dev sqlite3                                         # its ledger, and the tests that look into it
  libwebsockets-dev                                              # its web panel: HTTP, WebSocket, TLS
  chromium chromium-driver python3-selenium                      # the panel tried in a real browser
  python3-wsproto                                                # a live view read frame by frame in its tests
)

# What scripts/fuzz needs besides: clang, and libFuzzer's runtime.
FUZZ_PACKAGES=(clang libclang-rt-14-dev)

ensure_packages() {
  local missing=() pkg
  for pkg in "$@"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing+=("$pkg")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# Presets are looked up in the current directory: build from the root.
build() {
  local preset="${1:-default}"
  (cd "$ROOT" && cmake --preset "$preset" >/dev/null && cmake --build --preset "$preset")
}
