#!/usr/bin/env bash
# Installs the build into a temporary prefix, then builds and runs a small C host against it
# twice: through find_package(telbook) and through pkg-config.
#   package_test.sh BUILD_DIR SOURCE_DIR C_COMPILER
set -euo pipefail
build=$1
source=$2
cc=$3
work=$(mktemp -d "${TMPDIR:-/tmp}/telbook-package.XXXXXX")
trap 'rm -rf "$work"' EXIT
prefix="$work/prefix"

cmake --install "$build" --prefix "$prefix" >/dev/null
test -f "$prefix/include/telbook.h"
test -x "$prefix/bin/telbook"
"$prefix/bin/telbook" --help >/dev/null

echo "== find_package(telbook) =="
cmake -S "$source/tests/tool/package" -B "$work/cmake" -DCMAKE_C_COMPILER="$cc" \
  -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$work/cmake" >/dev/null
mkdir "$work/run1"
LD_LIBRARY_PATH="$(dirname "$(find "$prefix" -name 'libtelbook.so' | head -n 1)")" \
  "$work/cmake/consumer" "$work/run1"

echo "== pkg-config telbook =="
export PKG_CONFIG_PATH
PKG_CONFIG_PATH="$(dirname "$(find "$prefix" -name telbook.pc | head -n 1)")"
# shellcheck disable=SC2046
"$cc" -o "$work/consumer-pc" "$source/tests/tool/package/consumer.c" \
  $(pkg-config --cflags --libs telbook) -Wl,-rpath,"$(pkg-config --variable=libdir telbook)"
mkdir "$work/run2"
"$work/consumer-pc" "$work/run2"
