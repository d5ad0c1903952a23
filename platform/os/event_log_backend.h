#pragma once
// Back ends of the program's event log: the system log (syslog) and an
// in-memory log that tests read back.
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace ORV::OS {

enum EventType : std::uint16_t {
  kEventError = 1,
  kEventWarning = 2,
  kEventInformation = 4,
};

struct EventRecord {
  std::string source;
  std::uint16_t type = 0;
  std::uint16_t category = 0;
  std::uint32_t eventId = 0;
  std::vector<std::string> texts;
};

class EventLogBackend {
 public:
  virtual ~EventLogBackend() = default;
  // Starts writing under the source name; false when that is not possible.
  virtual bool Open(std::string_view source) = 0;
  // Writes one entry; false on failure.
  virtual bool Report(const EventRecord& record) = 0;
  virtual void Close() = 0;
};

// syslog(3) with the source as ident; error, warning and information map to
// LOG_ERR, LOG_WARNING and LOG_INFO. Each line reads
// "[category 1, event 4] text1 | text2".
//
// A shared backend writes to the connection the process has opened (or to
// syslog's default one) and neither opens nor closes it: the program's
// control libraries carry their own copy of the event log, and must not
// replace or close the program's connection.
class SyslogEventLogBackend final : public EventLogBackend {
 public:
  SyslogEventLogBackend() = default;
  struct Shared {};
  explicit SyslogEventLogBackend(Shared) : shared_(true) {}
  bool Open(std::string_view source) override;
  bool Report(const EventRecord& record) override;
  void Close() override;
  static int Priority(std::uint16_t type);
  static std::string FormatLine(const EventRecord& record);

 private:
  std::string ident_;  // openlog keeps the pointer
  bool open_ = false;
  bool shared_ = false;
};

class MemoryEventLogBackend final : public EventLogBackend {
 public:
  bool Open(std::string_view source) override;
  bool Report(const EventRecord& record) override;
  void Close() override;

  std::vector<EventRecord> Entries() const;
  void Clear();
  // All texts of all entries joined, one entry per line (handy in asserts).
  std::string Dump() const;

 private:
  mutable std::mutex mutex_;
  std::string source_;
  std::vector<EventRecord> entries_;
};

}  // namespace ORV::OS
