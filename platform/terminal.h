// terminal.h — whether the program's output goes to a person at a terminal.
//
// Command-line tools show progress only to a person: when standard output is a
// pipe or a file, nothing but the results may reach it.
#pragma once

namespace velorin::platform {

// Standard output is a terminal (a character device that is a tty).
bool StandardOutputIsTerminal();

// The width of the terminal on standard output in columns; fallback when it is
// not a terminal or does not say.
int TerminalColumns(int fallback);

}  // namespace velorin::platform
