#!/usr/bin/env bash
# Installs the build into a temporary prefix, then builds and runs a small C host against it
# twice: through find_package(telbook) and through pkg-config.
#   package_test.sh BUILD_DIR SOURCE_DIR C_COMPILER
set -euo pipefail
build=$(cd "$1" && pwd)
source=$(cd "$2" && pwd)
cc=$3
work=$(mktemp -d "${TMPDIR:-/tmp}/telbook-package.XXXXXX")
trap 'rm -rf "$work"' EXIT
prefix="$work/prefix"

cmake --install "$build" --prefix "$prefix" >/dev/null
test -f "$prefix/include/telbook.h"
test -x "$prefix/bin/telbook"
"$prefix/bin/telbook" --help >/dev/null

echo "== manual page and completions =="
commands=$("$prefix/bin/telbook" --help | sed -n '/^Subcommands:/,/^$/s/^  \([a-z][a-z]*\) .*/\1/p')
test -n "$commands"
man_page="$prefix/share/man/man1/telbook.1"
for command in $commands; do
  grep -qx ".SS $command" "$man_page" || { echo "the manual page lacks $command"; exit 1; }
done
grep -q '^\.TH TELBOOK 1' "$man_page"
# The completions offer the commands, a command's options and an option's values.
complete_bash() {
  PATH="$prefix/bin:$PATH" bash -c 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1))
    _telbook; echo "${COMPREPLY[*]}"' _ "$prefix/share/bash-completion/completions/telbook" "$@"
}
test "$(complete_bash telbook de)" = "demo delete"
test "$(complete_bash telbook group b.tlb --rem)" = "--remove"
test "$(complete_bash telbook list b.tlb --sort r)" = "reading"
zsh_completion="$prefix/share/zsh/vendor-completions/_telbook"
test -f "$zsh_completion"
if command -v zsh >/dev/null; then
  # The completion system's calls print what they are given.
  offered=$(PATH="$prefix/bin:$PATH" zsh -f -c '
    compadd() { [[ $1 == -a ]] && print -l -- ${(P)2} || { shift; print -l -- "$@"; } }
    _describe() { print -l -- ${(P)4}; }
    _files() { print files; }
    source "$1" >/dev/null
    words=(telbook "") CURRENT=2 PREFIX=""; _telbook
    words=(telbook list b.tlb --sort "") CURRENT=5 PREFIX=""; _telbook' _ "$zsh_completion")
  for want in "delete:Delete entries and groups." number reading name; do
    grep -qx -- "$want" <<<"$offered" || { echo "zsh completion does not offer $want"; exit 1; }
  done
fi

if command -v dpkg-deb >/dev/null && [ -f "$build/CPackConfig.cmake" ]; then
  echo "== .deb =="
  (cd "$work" && cpack -G DEB -B "$work/deb" --config "$build/CPackConfig.cmake" >/dev/null)
  contents=$(dpkg-deb -c "$(find "$work/deb" -maxdepth 1 -name '*.deb' | head -n 1)")
  for file in bin/telbook share/man/man1/telbook.1 share/bash-completion/completions/telbook \
              share/zsh/vendor-completions/_telbook; do
    grep -q "/usr/$file\$" <<<"$contents" || { echo "the .deb lacks /usr/$file"; exit 1; }
  done
fi

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
