#pragma once
// A pseudo-terminal pair standing in for a serial cable: a driver opens the
// device end by its path as it would a serial port, the simulator reads and
// writes the other end. Both ends are raw (no echo, no character mapping),
// as a serial line is.
#include <string>

namespace ORV::Sim {

class PseudoTerminal {
 public:
  // Makes the pair; ok() tells whether that worked.
  PseudoTerminal();
  ~PseudoTerminal();
  PseudoTerminal(const PseudoTerminal&) = delete;
  PseudoTerminal& operator=(const PseudoTerminal&) = delete;

  bool ok() const { return master_ >= 0; }
  // The path of the device end ("/dev/pts/N").
  const std::string& DevicePath() const { return path_; }
  // The simulator's end; -1 once closed.
  int MasterFd() const { return master_; }
  // Closes the simulator's end, as pulling the cable out would: the driver's
  // reads and writes fail from then on, and the path cannot be opened again.
  void Close();

 private:
  int master_ = -1;
  // The simulator keeps the device end open too, so the line stays up while
  // a driver closes and reopens the port.
  int holder_ = -1;
  std::string path_;
};

}  // namespace ORV::Sim
