#!/usr/bin/env bash
# One entry point for a fresh Debian machine: installs what is missing, builds, then runs.
#   ./dev.sh demo    build the programs and start them on a built-in demo
#   ./dev.sh test    build with sanitizers and run every test
#   ./dev.sh bench   build optimised and run the benchmarks
set -euo pipefail
cd "$(dirname "$0")"

PACKAGES=(cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libgl-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth fonts-dejavu-core)
# Only the demo needs these: a screenshot when there is no display.
DEMO_PACKAGES=(imagemagick)

ensure_packages() { # extra packages...
  local missing=() p
  for p in "${PACKAGES[@]}" "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" -eq 0 ]; then
    echo "Installing: ${missing[*]}"
    apt-get update -q
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
  else
    echo "Missing Debian packages. Install them with:"
    echo "  sudo apt-get install ${missing[*]}"
    exit 1
  fi
}

jobs() { nproc 2>/dev/null || echo 4; }

configure_and_build() { # dir, extra cmake args...
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir" -j "$(jobs)"
}

cmd_test() {
  ensure_packages
  local werror=OFF
  [ -n "${CI:-}" ] && werror=ON
  configure_and_build build-test -DCMAKE_BUILD_TYPE=Debug -DTIDELOG_SANITIZE=ON \
    -DTIDELOG_WERROR="$werror" -DTIDELOG_BENCH=ON
  ctest --test-dir build-test --output-on-failure -j "$(jobs)"
}

cmd_demo() {
  ensure_packages "${DEMO_PACKAGES[@]}"
  configure_and_build build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTIDELOG_TESTS=OFF
  if [ ! -x build/bin/tidelog ] || [ ! -x build/bin/dipview ]; then
    echo "Nothing to show yet: the programs are not built so far."
    return 0
  fi
  exec ./demo.sh build/bin
}

cmd_bench() {
  ensure_packages
  configure_and_build build-bench -DCMAKE_BUILD_TYPE=Release -DTIDELOG_TESTS=OFF -DTIDELOG_BENCH=ON
  local b
  for b in build-bench/bin/*_bench; do
    [ -x "$b" ] && "$b"
  done
}

case "${1:-}" in
  test) cmd_test ;;
  demo) cmd_demo ;;
  bench) cmd_bench ;;
  *) echo "usage: $0 demo|test|bench" >&2; exit 2 ;;
esac
