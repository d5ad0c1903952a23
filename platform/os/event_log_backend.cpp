#include "platform/os/event_log_backend.h"

#include <syslog.h>

namespace ORV::OS {

bool SyslogEventLogBackend::Open(std::string_view source) {
  open_ = true;
  if (shared_) return true;
  ident_ = std::string(source);
  openlog(ident_.c_str(), LOG_PID, LOG_USER);
  return true;
}

int SyslogEventLogBackend::Priority(std::uint16_t type) {
  switch (type) {
    case kEventError:
      return LOG_ERR;
    case kEventWarning:
      return LOG_WARNING;
    default:
      return LOG_INFO;
  }
}

std::string SyslogEventLogBackend::FormatLine(const EventRecord& record) {
  std::string line = "[category " + std::to_string(record.category) + ", event " + std::to_string(record.eventId) + "]";
  for (std::size_t i = 0; i < record.texts.size(); ++i) {
    line += i == 0 ? " " : " | ";
    line += record.texts[i];
  }
  return line;
}

bool SyslogEventLogBackend::Report(const EventRecord& record) {
  if (!open_) return false;
  syslog(Priority(record.type), "%s", FormatLine(record).c_str());
  return true;
}

void SyslogEventLogBackend::Close() {
  if (open_ && !shared_) closelog();
  open_ = false;
}

bool MemoryEventLogBackend::Open(std::string_view source) {
  std::lock_guard lock(mutex_);
  source_ = std::string(source);
  return true;
}

bool MemoryEventLogBackend::Report(const EventRecord& record) {
  std::lock_guard lock(mutex_);
  entries_.push_back(record);
  entries_.back().source = source_;
  return true;
}

void MemoryEventLogBackend::Close() {}

std::vector<EventRecord> MemoryEventLogBackend::Entries() const {
  std::lock_guard lock(mutex_);
  return entries_;
}

void MemoryEventLogBackend::Clear() {
  std::lock_guard lock(mutex_);
  entries_.clear();
}

std::string MemoryEventLogBackend::Dump() const {
  std::lock_guard lock(mutex_);
  std::string out;
  for (const auto& e : entries_) {
    for (std::size_t i = 0; i < e.texts.size(); ++i) {
      if (i) out += " | ";
      out += e.texts[i];
    }
    out += '\n';
  }
  return out;
}

}  // namespace ORV::OS
