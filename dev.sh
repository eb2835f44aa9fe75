#!/usr/bin/env bash
# Set-up, build and run for a fresh Debian 12 machine.
#   ./dev.sh run    install what the build needs, build, open the reader on the bundled novel
#   ./dev.sh test   install, build, run every test; then the same suite under ASan and UBSan
#   ./dev.sh package  install, build with Debian's flags, and make the Debian package
#                     build-package/quillon-reader_*.deb, checked by lintian
# Run as root or as a user who may sudo: only the package install needs it.
set -euo pipefail
cd "$(dirname "$0")"

# Every Debian package the build, the program and the tests use.
PACKAGES=(
  cmake ninja-build g++ clang libclang-rt-14-dev clang-format
  libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev nlohmann-json3-dev
  libespeak-ng-dev espeak-ng espeak-ng-data
  libpulse-dev pulseaudio pulseaudio-utils libsndfile1-dev sox
  pipewire pipewire-bin pipewire-pulse wireplumber dbus-daemon dbus-bin playerctl
  qt6-base-dev qt6-base-private-dev libgl-dev fonts-dejavu-core fonts-liberation2
  xvfb xauth xdotool xclip poppler-utils
  python3-pyatspi at-spi2-core xdg-utils weston qt6-wayland
  desktop-file-utils appstream dpkg-dev lintian man-db
  libzip-dev libavformat-dev libavcodec-dev libavutil-dev ffmpeg epubcheck default-jre-headless
)

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

install_packages() {
  local missing=()
  for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  if [ "${#missing[@]}" -gt 0 ]; then
    echo "== installing: ${missing[*]}"
    as_root apt-get update -qq
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
      "${missing[@]}" </dev/null
  fi
}

jobs() { nproc 2>/dev/null || echo 2; }

# Runs a build's tests. The sound and X tests share a busy machine with everything else; a test that
# fails is run once more on its own and the retry is reported, so a deterministic fault still fails.
run_tests() {  # run_tests DIR
  if ! ctest --test-dir "$1" --output-on-failure -j "$(jobs)"; then
    echo "== some tests failed in $1; running them once more on their own"
    ctest --test-dir "$1" --output-on-failure --rerun-failed
  fi
}

build() {  # build DIR [cmake options...]
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir" -j "$(jobs)"
}

case "${1:-}" in
  run)
    install_packages
    build build
    if [ -x build/bin/quillon-reader ]; then
      cd build/bin && exec ./quillon-reader
    fi
    exec build/bin/quillon-tool script novel/sample.txt
    ;;
  test)
    install_packages
    echo "== build (g++)"
    build build
    run_tests build
    echo "== build with AddressSanitizer and UndefinedBehaviorSanitizer (clang)"
    build build-asan -DCMAKE_CXX_COMPILER=clang++ -DQUILLON_SANITIZE=ON -DQUILLON_FUZZ=ON \
      -DQUILLON_BENCHMARKS=OFF
    ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 run_tests build-asan
    ;;
  package)
    install_packages
    # A build of its own with Debian's flags and hardening (dpkg-buildflags), without the tests.
    build build-package -DQUILLON_DEBIAN_FLAGS=ON -DQUILLON_TESTS=OFF -DQUILLON_BENCHMARKS=OFF
    rm -f build-package/quillon-reader_*.deb
    (cd build-package && cpack -G DEB)
    # The package must pass lintian without an error or a warning.
    lintian --fail-on error,warning build-package/quillon-reader_*.deb
    ls build-package/quillon-reader_*.deb
    ;;
  *)
    echo "usage: $0 run|test|package" >&2
    exit 64
    ;;
esac
