#!/usr/bin/env bash
# Installs the built tree into a temporary prefix and builds examples/consumer against it, once with
# CMake (find_package(Vel)) and once with pkg-config; both programs must print the same line, and the
# installed velsh must run. find_package asks for a version, which needs the version file. The third
# argument is the compiler flags the library was built with: a sanitized library needs sanitized programs.
set -euo pipefail
build=$1 source=$2 cxxflags=${3:-}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
# The README shows the program exactly as built here.
python3 -c 'import sys; sys.exit(open(sys.argv[1]).read() not in open(sys.argv[2]).read())' \
  "$source/examples/consumer/main.cpp" "$source/README.md" || { echo "README does not show examples/consumer/main.cpp"; exit 1; }
cmake --install "$build" --prefix "$tmp/prefix" >/dev/null
expected="1 summary route; 10.1.2.3 goes via 192.0.2.1"

cmake -S "$source/examples/consumer" -B "$tmp/cmake" -G Ninja -DCMAKE_PREFIX_PATH="$tmp/prefix" \
  -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_EXE_LINKER_FLAGS="$cxxflags" >/dev/null
cmake --build "$tmp/cmake" >/dev/null
got=$("$tmp/cmake/consumer")

libdir=$(dirname "$(find "$tmp/prefix" -name vel.pc)")/..
flags=$(PKG_CONFIG_PATH="$libdir/pkgconfig" pkg-config --cflags --libs vel)
g++ -std=c++20 $cxxflags "$source/examples/consumer/main.cpp" $flags -Wl,-rpath,"$libdir" -o "$tmp/consumer-pc"
got_pc=$("$tmp/consumer-pc")

for g in "$got" "$got_pc"; do
  [ "$g" = "$expected" ] || { echo "consumer printed '$g', expected '$expected'"; exit 1; }
done
"$tmp/prefix/bin/velsh" -c "describe VelL3V2::RouteTable" | head -1 | grep -qx "VelL3V2::RouteTable: entity of module VelL3V2LocalTypes"
echo "consumer: CMake and pkg-config builds print '$expected'"
