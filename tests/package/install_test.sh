#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks what a user of it meets:
# the programs, the manual page, the sample tables, the headers and the CMake
# package; examples/table_walk built against that package with find_package and
# run on an installed sample table; no installed text naming the build or source
# folder; and, with the testing program, its menu entry and the start script,
# which fills a person's data folder from the installed samples.
#   install_test.sh CMAKE BUILD-DIRECTORY SOURCE-DIRECTORY CXX-COMPILER
set -euo pipefail
cmake=$1
build=$(cd "$2" && pwd)
source=$(cd "$3" && pwd)
compiler=$4

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
fail() {
  echo "FAIL: $*"
  exit 1
}

"$cmake" --install "$build" --prefix "$prefix" > "$work/install.log" || {
  cat "$work/install.log"
  fail "cmake --install failed"
}

for file in bin/velorin-dbf share/man/man1/velorin-dbf.1 \
  share/velorin/His1.dbf share/velorin/His2.dbf share/velorin/NAME.DBF share/velorin/INFO.DBF \
  include/velorin/platform/native_file.h include/velorin/engine/vr6_DBF.h include/velorin/dataset/Velorin6DB.h; do
  [ -e "$prefix/$file" ] || fail "$file is not installed"
done
config=$(find "$prefix" -name VelorinConfig.cmake)
[ -n "$config" ] || fail "VelorinConfig.cmake is not installed"

if [ -x "$build/app/velorin-testing" ]; then
  for file in bin/velorin-testing bin/velorin-testing-start share/applications/velorin-testing.desktop \
    share/icons/hicolor/scalable/apps/velorin-testing.svg; do
    [ -e "$prefix/$file" ] || fail "$file is not installed"
  done
fi

# Headers, CMake files, the menu entry and the script are read on other machines.
stray=$(grep -rIlF -e "$build" -e "$source" "$prefix" || true)
[ -z "$stray" ] || fail "installed files name the build or source folder: $stray"

# A program built on the installed package, and only on it.
example=$work/example
"$cmake" -S "$source/examples/table_walk" -B "$example" -DCMAKE_PREFIX_PATH="$prefix" \
  -DCMAKE_CXX_COMPILER="$compiler" > "$work/example.log" 2>&1 || {
  cat "$work/example.log"
  fail "the example does not configure against the installed package"
}
grep -qx "Velorin_DIR:PATH=$(dirname "$config")" "$example/CMakeCache.txt" ||
  fail "find_package(Velorin) found $(grep '^Velorin_DIR' "$example/CMakeCache.txt"), not $(dirname "$config")"
"$cmake" --build "$example" > "$work/example.log" 2>&1 || {
  cat "$work/example.log"
  fail "the example does not build against the installed package"
}

VELORIN_ANSI_CODEPAGE=1251 "$example/table_walk" "$prefix/share/velorin/His1.dbf" INPUT > "$work/walked.txt" ||
  fail "table_walk failed: $(cat "$work/walked.txt")"
python3 - "$source/data/his1.csv" > "$work/expected.txt" <<'PYTHON'
import csv, sys
with open(sys.argv[1], encoding="utf-8", newline="") as source:
    for number, row in enumerate(csv.DictReader(source), 1):
        print(f"{number}\t{row['INPUT']}")
PYTHON
diff "$work/expected.txt" "$work/walked.txt" || fail "table_walk did not print the questions of His1.dbf"

if [ -x "$prefix/bin/velorin-testing-start" ]; then
  entry=$prefix/share/applications/velorin-testing.desktop
  grep -qx "Name=Тестирование" "$entry" || fail "the menu entry is not named Тестирование"
  command=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$entry")
  [ -x "$prefix/bin/$command" ] || fail "the menu entry starts $command, which is not installed"
  if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$entry" || fail "the menu entry is not a valid desktop entry"
  fi
  icon=$(sed -n 's/^Icon=//p' "$entry")
  [ -e "$prefix/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "the menu entry's icon $icon is not installed"

  # Without a display the script stops after preparing the data folder.
  home=$work/home
  status=0
  env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u VELORIN_SAMPLE_DIR VELORIN_HOME="$home" \
    "$prefix/bin/$command" > "$work/start.log" 2>&1 || status=$?
  [ "$status" -eq 1 ] || fail "without a display the start script ended with status $status: $(cat "$work/start.log")"
  grep -q "no display" "$work/start.log" || fail "no word of the missing display: $(cat "$work/start.log")"
  for table in His1.dbf His2.dbf NAME.DBF INFO.DBF; do
    cmp -s "$prefix/share/velorin/$table" "$home/$table" || fail "$table was not copied into the data folder"
  done
fi
echo "ok"
