#!/bin/sh
# Checks the Debian package that `make package` built in the tree $1 without
# installing it: its file name, control data (dpkg-deb -I), file list
# (dpkg-deb -c), the pkg-config module's prefix, and the shared library's
# SONAME and exported symbols (the public API only).
set -eu

tree=$1
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$tree/CMakeCache.txt")
arch=$(dpkg --print-architecture)
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
deb=$tree/korvane-smpp_${version}_${arch}.deb
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAILED: $*" >&2
  failures=$((failures + 1))
}

[ -f "$deb" ] || { echo "FAILED: no $deb" >&2; exit 1; }
dpkg-deb -I "$deb" control >"$work/control"
dpkg-deb -c "$deb" | awk '{print $6}' >"$work/files"

# Control data: one line each, as dpkg-deb prints it.
for line in "Package: korvane-smpp" "Version: $version" "Architecture: $arch" \
            "Suggests: libasio-dev"; do
  grep -qx "$line" "$work/control" || fail "control lacks '$line'"
done
depends=$(sed -n 's/^Depends: //p' "$work/control")
for dependency in libc6 libstdc++6 libgcc-s1; do
  echo "$depends" | grep -q "\\b$dependency (>= " || fail "Depends lacks $dependency: $depends"
done

lib=./usr/lib/$multiarch
for file in ./usr/bin/korvane-smpp ./usr/bin/korvane-smsc \
            ./usr/include/korvane/smpp.hpp ./usr/include/korvane/export.hpp \
            ./usr/include/korvane/version.hpp \
            "$lib/libkorvane-smpp.so.$version" "$lib/libkorvane-smpp.so.${version%%.*}" \
            "$lib/libkorvane-smpp.so" "$lib/pkgconfig/korvane-smpp.pc" \
            "$lib/cmake/KorvaneSMPP/KorvaneSMPPConfig.cmake" \
            "$lib/cmake/KorvaneSMPP/KorvaneSMPPConfigVersion.cmake" \
            "$lib/cmake/KorvaneSMPP/KorvaneSMPPTargets.cmake"; do
  grep -qx "$file" "$work/files" || fail "the package lacks $file"
done
grep -v -e '^\./usr/' -e '^\./$' "$work/files" | sed 's/^/outside \/usr: /' | while read -r line; do
  echo "FAILED: $line" >&2
  exit 1
done || failures=$((failures + 1))

dpkg-deb -x "$deb" "$work/root"
grep -qx "prefix=/usr" "$work/root/usr/lib/$multiarch/pkgconfig/korvane-smpp.pc" ||
  fail "korvane-smpp.pc does not say prefix=/usr"
so=$work/root/usr/lib/$multiarch/libkorvane-smpp.so.$version
objdump -p "$so" | grep -q "SONAME *libkorvane-smpp\.so\.${version%%.*}\$" ||
  fail "SONAME is not libkorvane-smpp.so.${version%%.*}"
# Lower-case namespaces below korvane are the library's insides; of them only
# korvane::text (the text layer) and korvane::platform are public, the latter
# with the names below.
leaked=$(nm -DC --defined-only "$so" | grep -o 'korvane::[a-z][a-z_]*::[A-Za-z_]*' | sort -u |
         grep -v '^korvane::text::' |
         grep -vx -e 'korvane::platform::Environment' -e 'korvane::platform::Timer' \
                  -e 'korvane::platform::TcpSocket' -e 'korvane::platform::SocketListener' \
                  -e 'korvane::platform::ThreadEventLoop' \
                  -e 'korvane::platform::MakeAsioEnvironment' || true)
[ -z "$leaked" ] || fail "internal symbols exported: $leaked"
nm -DC --defined-only "$so" | grep -q 'korvane::SMPP::Bind' || fail "korvane::SMPP::Bind not exported"

if [ "$failures" -ne 0 ]; then
  echo "$deb: $failures failure(s)" >&2
  exit 1
fi
echo "$deb: control data, files, SONAME and exports as expected"
