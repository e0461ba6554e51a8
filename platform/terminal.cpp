#include "platform/terminal.h"

#include <sys/ioctl.h>
#include <unistd.h>

namespace velorin::platform {

bool StandardOutputIsTerminal() { return isatty(STDOUT_FILENO) == 1; }

int TerminalColumns(int fallback) {
  winsize size{};
  if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) != 0 || size.ws_col == 0) return fallback;
  return size.ws_col;
}

}  // namespace velorin::platform
