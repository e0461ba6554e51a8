#!/usr/bin/env bash
# Starts the testing program in its working directory.
#
#   app/run_program.sh [BUILD-DIRECTORY]
#
# BUILD-DIRECTORY is where velorin-testing was built (build/release unless given).
# The program works on the tables of its current directory, which is
# $VELORIN_HOME, or ~/.local/share/velorin when that is not set. The sample tables
# His1.dbf, His2.dbf, NAME.DBF and INFO.DBF are copied there from
# $VELORIN_SAMPLE_DIR (BUILD-DIRECTORY/data unless set, where the build makes them)
# only when the working directory lacks them, so a person's names and results are
# never overwritten. Without a display it says how to run it under a virtual one.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build/release}" 2>/dev/null && pwd) || {
  echo "run_program.sh: no build directory ${1:-$root/build/release}; build the program first (./run.sh)" >&2
  exit 1
}
program=$build/app/velorin-testing
samples=${VELORIN_SAMPLE_DIR:-$build/data}
home=${VELORIN_HOME:-$HOME/.local/share/velorin}

if [ ! -x "$program" ]; then
  echo "run_program.sh: $program is missing; build the program first (./run.sh)" >&2
  exit 1
fi

mkdir -p "$home"
for table in His1.dbf His2.dbf NAME.DBF INFO.DBF; do
  # The program finds its tables whatever the letter case of their names.
  if [ -n "$(find "$home" -maxdepth 1 -iname "$table" -print -quit)" ]; then
    continue
  fi
  if [ ! -f "$samples/$table" ]; then
    echo "run_program.sh: the sample table $samples/$table is missing (the build makes it)" >&2
    exit 1
  fi
  cp "$samples/$table" "$home/$table"
  echo "run_program.sh: copied $table into $home"
done

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  cat >&2 <<MESSAGE
run_program.sh: there is no display to show the program on (DISPLAY is not set).
Run it on a desktop, or under a virtual X server:
  xvfb-run -a -s "-screen 0 1280x1024x24" $0 $build
To see the windows without any display, draw them into PNG files:
  $build/app/velorin-screenshots OUTPUT-DIRECTORY $samples
MESSAGE
  exit 1
fi

cd "$home"
exec "$program"
