#include "platform/sim/pseudo_terminal.h"

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

namespace ORV::Sim {

PseudoTerminal::PseudoTerminal() {
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master < 0) return;
  char name[128] = {};
  if (::grantpt(master) != 0 || ::unlockpt(master) != 0 || ::ptsname_r(master, name, sizeof name) != 0) {
    ::close(master);
    return;
  }
  const int holder = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  termios t{};
  if (holder < 0 || ::tcgetattr(holder, &t) != 0) {
    if (holder >= 0) ::close(holder);
    ::close(master);
    return;
  }
  ::cfmakeraw(&t);
  ::tcsetattr(holder, TCSANOW, &t);
  // The simulator's end never blocks: its thread waits in poll().
  ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
  master_ = master;
  holder_ = holder;
  path_ = name;
}

PseudoTerminal::~PseudoTerminal() { Close(); }

void PseudoTerminal::Close() {
  if (holder_ >= 0) ::close(holder_);
  if (master_ >= 0) ::close(master_);
  holder_ = master_ = -1;
}

}  // namespace ORV::Sim
