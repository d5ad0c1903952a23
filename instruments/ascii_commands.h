#pragma once
// The ASCII command layer of the serial instruments: a command goes out as
// text ending in one carriage return, its reply comes back in one read, and a
// reply's fields are split on the instrument's separator. A driver that
// speaks it inherits this beside Device; instruments that talk binary frames
// or HID reports do without it.
//
// Every operation holds the device's lock, as the device's own do.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ORV {

class Device;

class AsciiCommands {
 public:
  static constexpr std::uint8_t kCommandEnd = 0x0D;
  static constexpr int kMaxDiscardReads = 64;

  AsciiCommands(const AsciiCommands&) = delete;
  AsciiCommands& operator=(const AsciiCommands&) = delete;

  // Each returns false when the port has no handle.
  // Writes the command followed by one carriage return.
  bool Send(std::string_view command);
  // Discards whatever input is already waiting (stale bytes of an earlier
  // reply), then Send and one read: true unless sending or reading failed,
  // also when nothing arrived (the reply is then empty). A failed read leaves
  // `reply`. Discarded bytes are written to the device's log.
  bool Query(std::string& reply, std::string_view command);
  // Reads and drops the input already waiting on the port, without waiting
  // for more (at most kMaxDiscardReads reads).
  void DiscardPendingInput();
  // Checks that `reply` begins with `prefix` and appends its fields, split on
  // the separator, to `fields`: the text from `start` to the first separator
  // when that separator lies after `start`, the texts between separators, and
  // the text after the last one without the CR (or CR LF) that ends a reply.
  // False when the prefix differs, there is no separator or the first one is
  // the last character; else true when `fields` holds at least `minimum`.
  bool SplitReply(std::string_view reply, std::string_view prefix, std::vector<std::string>& fields,
                  std::size_t minimum, std::size_t start) const;
  char Separator() const { return separator_; }

 protected:
  // `device` is the driver itself; the layer talks through its port.
  AsciiCommands(Device& device, char separator) : device_(device), separator_(separator) {}
  ~AsciiCommands() = default;

 private:
  Device& device_;
  const char separator_;
};

}  // namespace ORV
