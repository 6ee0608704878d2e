#!/usr/bin/env bash
# Installs every Debian package that building, running, testing and benchmarking the viewer need.
# Idempotent: when all packages are present it does nothing (no apt-get update, no network).
set -euo pipefail

packages=(
  # toolchain
  g++ cmake make pkg-config clang libclang-rt-14-dev
  # the layer: HLSL -> SPIR-V -> GLSL, OpenGL 4.5 (Mesa llvmpipe), window and keyboard, images
  # (glslang-tools: glslang-dev's CMake package names glslangValidator and fails without it)
  glslang-dev glslang-tools spirv-tools spirv-cross libspirv-cross-c-shared-dev
  libgl-dev libegl-dev libgl1-mesa-dri libegl-mesa0 libglx-mesa0 libsdl2-dev libstb-dev
  # tests, benchmarks and the reference OBJ loader of the loader benchmark
  libgtest-dev libgmock-dev libbenchmark-dev libtinyobjloader-dev valgrind
  # running under a virtual X server, driving it and taking screenshots
  # (libx11-dev: the close-button helper of the end-to-end tests sends WM_DELETE_WINDOW with Xlib)
  xvfb xauth xdotool x11-utils imagemagick procps time libx11-dev
  # the Windows cross build; its tests run on Wine (googletest: GoogleTest's sources, built with the cross
  # compiler)
  mingw-w64 googletest wine64
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "install-deps: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
$SUDO apt-get update -qq
$SUDO apt-get install -y --no-install-recommends "${missing[@]}"
