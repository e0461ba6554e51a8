#!/usr/bin/env bash
# app/run_program.sh under a virtual X server: the working directory is prepared
# (tables copied only when missing), and the program shows its main window with its
# Cyrillic texts drawn in their colours and the program's display name in its title.
#   run_program_test.sh BUILD-DIRECTORY SCREEN-GRAB
set -euo pipefail
build=$1
grab=$2
source_dir=$(cd "$(dirname "$0")/../.." && pwd)

if ! command -v xvfb-run >/dev/null; then
  echo "xvfb-run is not installed; skipped"
  exit 77
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
samples=$work/samples
home=$work/home
mkdir -p "$samples" "$home"
tool=$build/tools/velorin-dbf
question_fields=(--field INPUT:C:254 --field A:C:100 --field B:C:100 --field C:C:100 --field D:C:100 --field E:C:100)
"$tool" create "$samples/His1.dbf" --version 03 --codepage 1251 "${question_fields[@]}" >/dev/null
"$tool" create "$samples/His2.dbf" --version 03 --codepage 1251 "${question_fields[@]}" >/dev/null
"$tool" create "$samples/NAME.DBF" --version 03 --codepage 866 --field NAME:C:15 >/dev/null
"$tool" create "$samples/INFO.DBF" --version 03 --codepage 866 \
  --field NAME:C:15 --field VARIANT:C:2 --field COUNT:N:4 --field TRUECOUNT:N:4 --field DATE:D >/dev/null

# A person's own results table (here under another letter case) is never overwritten.
"$tool" create "$home/info.dbf" --version 03 --codepage 866 \
  --field NAME:C:15 --field VARIANT:C:2 --field COUNT:N:4 --field TRUECOUNT:N:4 --field DATE:D >/dev/null
cp "$home/info.dbf" "$work/own-info.dbf"

cat > "$work/session.sh" <<SESSION
#!/usr/bin/env bash
VELORIN_HOME="$home" VELORIN_SAMPLE_DIR="$samples" ASAN_OPTIONS=detect_leaks=0 \
  "$source_dir/app/run_program.sh" "$build" > "$work/program.log" 2>&1 &
program=\$!
for i in \$(seq 1 40); do
  sleep 0.5
  counts=\$("$grab" "$work/screen.png")
  set -- \$counts
  if [ "\${2:-0}" -gt 200 ] && [ "\${4:-0}" -gt 200 ]; then break; fi
done
echo "\$counts"
if command -v xwininfo >/dev/null; then xwininfo -root -tree > "$work/windows.txt"; fi
kill \$program 2>/dev/null || true
wait \$program 2>/dev/null || true
SESSION
chmod +x "$work/session.sh"
counts=$(xvfb-run -a -s "-screen 0 1280x1024x24" "$work/session.sh")
echo "screen: $counts"
cat "$work/program.log"

set -- $counts
[ "${2:-0}" -gt 200 ] || { echo "FAIL: no maroon label text on the screen"; exit 1; }
[ "${4:-0}" -gt 200 ] || { echo "FAIL: no navy button captions on the screen"; exit 1; }
for table in His1.dbf His2.dbf NAME.DBF; do
  [ -f "$home/$table" ] || { echo "FAIL: $table not copied"; exit 1; }
done
[ ! -e "$home/INFO.DBF" ] || { echo "FAIL: INFO.DBF copied over the existing info.dbf"; exit 1; }
cmp -s "$home/info.dbf" "$work/own-info.dbf" || { echo "FAIL: info.dbf changed"; exit 1; }
# The desktop shows the program's display name with the window's caption, never the
# executable's name as a title.
if [ -f "$work/windows.txt" ]; then
  grep -q '"Программа  тестирования — Тестирование"' "$work/windows.txt" ||
    { cat "$work/windows.txt"; echo "FAIL: no main window titled with the display name"; exit 1; }
  ! grep -q '^ *0x[0-9a-f]* "velorin-testing"' "$work/windows.txt" ||
    { echo "FAIL: a window titled with the executable's name"; exit 1; }
fi
echo "ok"
