#pragma once
// The program's one writer to the system's event log.
//
// Until the application registers the source ("Tarvix 5") every write is
// refused and returns 0. On Linux the log is syslog; tests register an
// in-memory backend and read the entries back.
#include <cstdarg>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/os/event_log_backend.h"

namespace ORV {

inline constexpr const char* kEventSourceName = "Tarvix 5";

class CEventLog {
 public:
  CEventLog() = default;
  ~CEventLog();
  CEventLog(const CEventLog&) = delete;
  CEventLog& operator=(const CEventLog&) = delete;

  // Registers the source with a backend (the system log when none is given).
  // The log uses the backend until Deregister; the caller keeps a backend it
  // passed alive. False when the backend refused.
  bool Register(std::string_view source = kEventSourceName, OS::EventLogBackend* backend = nullptr);
  void Deregister();
  bool IsRegistered() const;

  // One event whose insertion strings are the texts up to the first empty
  // one (the terminator, not written; texts after it are ignored). Returns
  // non-zero on success, 0 when no source is registered or the write failed.
  int Write(std::uint16_t type, std::uint16_t category, std::uint32_t eventId,
            std::initializer_list<std::string_view> texts);

  // printf-style form: one insertion string made from the format.
  int WriteFormat(std::uint16_t type, std::uint16_t category, std::uint32_t eventId, const char* format, ...)
      __attribute__((format(printf, 5, 6)));

 private:
  mutable std::mutex mutex_;
  OS::EventLogBackend* backend_ = nullptr;
  std::unique_ptr<OS::EventLogBackend> owned_;
};

// The process-wide instance.
CEventLog& EventLog();

// A shared library of the program links its own copy of the event log, one
// the application never registers, so its errors would be refused: the
// library calls this before it writes, and on the first call, when nothing
// is registered yet, its log writes to the program's system log connection.
void EnsureLibraryEventLog();

// The category and event id of the program's entries: the drivers' and the
// files' messages all use these.
inline constexpr std::uint16_t kLogCategory = 1;
inline constexpr std::uint32_t kLogEventId = 4;

// An error, warning or information entry with kLogCategory and kLogEventId
// holding one text.
int LogError(std::string_view text);
int LogWarning(std::string_view text);
int LogInformation(std::string_view text);
// The same with the text made printf-style from the format.
int LogErrorFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));
int LogInformationFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace ORV
