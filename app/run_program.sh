#!/usr/bin/env bash
# Starts the testing program in its working directory.
#
#   app/run_program.sh [BUILD-DIRECTORY]   from the source tree (./run.sh)
#   velorin-testing-start                  installed (the desktop menu's entry)
#
# From the source tree the program is BUILD-DIRECTORY/app/velorin-testing
# (build/release unless given) and the sample tables are where the build makes
# them, BUILD-DIRECTORY/data. Installed, this script is velorin-testing-start
# beside velorin-testing, and the sample tables are in ../share/velorin from there.
# $VELORIN_SAMPLE_DIR, when set, names the sample tables' directory instead.
#
# The program works on the tables of its current directory, which is
# $VELORIN_HOME, or ~/.local/share/velorin when that is not set. The sample tables
# His1.dbf, His2.dbf, NAME.DBF and INFO.DBF are copied there only when the
# working directory lacks them, so a person's names and results are never
# overwritten. Without a display it says how to run it under a virtual one.
set -euo pipefail

name=$(basename "$0")
here=$(cd "$(dirname "$(readlink -f "$0")")" && pwd)
if [ $# -eq 0 ] && [ -x "$here/velorin-testing" ] && [ -d "$here/../share/velorin" ]; then
  program=$here/velorin-testing
  samples=${VELORIN_SAMPLE_DIR:-$(cd "$here/../share/velorin" && pwd)}
  build=
else
  root=$(cd "$here/.." && pwd)
  build=$(cd "${1:-$root/build/release}" 2>/dev/null && pwd) || {
    echo "$name: no build directory ${1:-$root/build/release}; build the program first (./run.sh)" >&2
    exit 1
  }
  program=$build/app/velorin-testing
  samples=${VELORIN_SAMPLE_DIR:-$build/data}
fi
home=${VELORIN_HOME:-$HOME/.local/share/velorin}

if [ ! -x "$program" ]; then
  echo "$name: $program is missing; build the program first (./run.sh)" >&2
  exit 1
fi

mkdir -p "$home"
for table in His1.dbf His2.dbf NAME.DBF INFO.DBF; do
  # The program finds its tables whatever the letter case of their names.
  if [ -n "$(find "$home" -maxdepth 1 -iname "$table" -print -quit)" ]; then
    continue
  fi
  if [ ! -f "$samples/$table" ]; then
    echo "$name: the sample table $samples/$table is missing" >&2
    exit 1
  fi
  # Installed samples are read-only; the copy is the person's own.
  cp "$samples/$table" "$home/$table"
  chmod u+w "$home/$table"
  echo "$name: copied $table into $home"
done

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "$name: there is no display to show the program on (DISPLAY is not set)." >&2
  echo "Run it on a desktop, or under a virtual X server:" >&2
  echo "  xvfb-run -a -s \"-screen 0 1280x1024x24\" $0 $build" >&2
  if [ -n "$build" ]; then
    echo "To see the windows without any display, draw them into PNG files:" >&2
    echo "  $build/app/velorin-screenshots OUTPUT-DIRECTORY $samples" >&2
  fi
  exit 1
fi

cd "$home"
exec "$program"
