#!/usr/bin/env bash
# Makes the Debian package of the build with cpack and checks it: the package
# velorin, its dependencies computed from the programs' libraries, and contents
# that hold the product only (no test, benchmark, fuzzer or build-folder file).
#   deb_test.sh CPACK BUILD-DIRECTORY
set -euo pipefail
cpack=$1
build=$(cd "$2" && pwd)

for tool in dpkg-deb dpkg-shlibdeps; do
  if ! command -v "$tool" >/dev/null; then
    echo "$tool is not installed (Debian's dpkg-dev); skipped"
    exit 77
  fi
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
  echo "FAIL: $*"
  exit 1
}

"$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$work" > "$work/cpack.log" 2>&1 || {
  cat "$work/cpack.log"
  fail "cpack -G DEB failed"
}
packages=("$work"/velorin_*.deb)
[ -f "${packages[0]}" ] || fail "no velorin_*.deb made: $(ls "$work")"
deb=${packages[0]}

[ "$(dpkg-deb -f "$deb" Package)" = velorin ] || fail "the package is not named velorin"
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for library in libc6 libstdc++6; do
  [[ $depends == *"$library "* ]] || fail "the dependency on $library was not computed"
done
if [ -x "$build/app/velorin-testing" ]; then
  for package in libqt6widgets6 fonts-liberation; do
    [[ $depends == *"$package"* ]] || fail "no dependency on $package"
  done
fi

dpkg-deb -c "$deb" | awk '{print $NF}' > "$work/contents.txt"
grep -q '^\./usr/bin/velorin-dbf$' "$work/contents.txt" || fail "velorin-dbf is not in the package"
outside=$(grep -v -e '^\./$' -e '^\./usr/' "$work/contents.txt" || true)
[ -z "$outside" ] || fail "files outside /usr: $outside"
strays=$(grep -E -i -e '(^|[/_.-])(tests?|bench(mark)?|fuzz(er)?)([/_.-]|$)' \
  -e 'gtest|gmock|CMakeFiles|CMakeCache|_CPack_Packages|CTest|\.o$|/build/|probe|screenshots' "$work/contents.txt" || true)
[ -z "$strays" ] || fail "test, benchmark or build files in the package: $strays"
echo "ok"
