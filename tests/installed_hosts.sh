#!/usr/bin/env bash
# Installs the built library into a temporary prefix, moves the installed tree
# (the package must be relocatable), builds the example hosts against it once
# through the CMake package and once through pkg-config, without choosing a
# C++ standard, and runs them on the bundled example.
# Usage: installed_hosts.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1
src=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/installed" >/dev/null
mv "$work/installed" "$work/moved"
prefix=$work/moved
libdir=$(dirname "$(find "$prefix" -name 'libzor.so' | head -n 1)")
export LD_LIBRARY_PATH=$libdir

cmake -S "$src/examples/hosts" -B "$work/cmake" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/cmake" >/dev/null

export PKG_CONFIG_PATH=$libdir/pkgconfig
cc -Wall -Wextra -Werror -pedantic $(pkg-config --cflags zor) "$src/examples/hosts/c_host.c" \
  -o "$work/c_host_pc" $(pkg-config --libs zor)
c++ -Wall -Wextra -Werror $(pkg-config --cflags zor) "$src/examples/hosts/cpp_host.cpp" \
  -o "$work/cpp_host_pc" $(pkg-config --libs zor)

for host in "$work/cmake/c_host" "$work/cmake/cpp_host" "$work/c_host_pc" "$work/cpp_host_pc"; do
  "$host" "$src/examples/can_lin.xml" "$work/out.xml" >"$work/log" || { cat "$work/log"; echo "FAILED: $host"; exit 1; }
  [ -s "$work/out.xml" ] || { echo "FAILED: $host wrote nothing"; exit 1; }
  rm -f "$work/out.xml"
done
grep -q "^network " "$work/log" || { cat "$work/log"; echo "FAILED: the C++ host listed no network"; exit 1; }
echo "installed package: 4 hosts built and run"
