#include "core/base/event_log.h"

#include <cstdio>
#include <vector>

namespace ORV {

CEventLog::~CEventLog() { Deregister(); }

bool CEventLog::Register(std::string_view source, OS::EventLogBackend* backend) {
  std::lock_guard lock(mutex_);
  if (backend_) backend_->Close();
  backend_ = nullptr;
  owned_.reset();
  OS::EventLogBackend* b = backend;
  if (!b) {
    owned_ = std::make_unique<OS::SyslogEventLogBackend>();
    b = owned_.get();
  }
  if (!b->Open(source)) {
    owned_.reset();
    return false;
  }
  backend_ = b;
  return true;
}

void CEventLog::Deregister() {
  std::lock_guard lock(mutex_);
  if (backend_) backend_->Close();
  backend_ = nullptr;
  owned_.reset();
}

bool CEventLog::IsRegistered() const {
  std::lock_guard lock(mutex_);
  return backend_ != nullptr;
}

int CEventLog::Write(std::uint16_t type, std::uint16_t category, std::uint32_t eventId,
                     std::initializer_list<std::string_view> texts) {
  OS::EventRecord record;
  record.type = type;
  record.category = category;
  record.eventId = eventId;
  for (std::string_view t : texts) {
    if (t.empty()) break;
    record.texts.emplace_back(t);
  }
  std::lock_guard lock(mutex_);
  if (!backend_) return 0;
  return backend_->Report(record) ? 1 : 0;
}

namespace {

std::string FormatText(const char* format, va_list ap) {
  va_list ap2;
  va_copy(ap2, ap);
  const int n = std::vsnprintf(nullptr, 0, format, ap);
  std::string text;
  if (n > 0) {
    std::vector<char> buf(static_cast<std::size_t>(n) + 1);
    std::vsnprintf(buf.data(), buf.size(), format, ap2);
    text.assign(buf.data(), static_cast<std::size_t>(n));
  }
  va_end(ap2);
  return text;
}

}  // namespace

int CEventLog::WriteFormat(std::uint16_t type, std::uint16_t category, std::uint32_t eventId, const char* format, ...) {
  va_list ap;
  va_start(ap, format);
  const std::string text = FormatText(format, ap);
  va_end(ap);
  // An empty text would be the terminator: such an event has no strings.
  return Write(type, category, eventId, {text});
}

CEventLog& EventLog() {
  static CEventLog log;
  return log;
}

void EnsureLibraryEventLog() {
  struct LibraryLog {
    OS::SyslogEventLogBackend backend{OS::SyslogEventLogBackend::Shared{}};
    bool registered = false;
    // The log is made before this, so it is still there when this goes.
    LibraryLog() { registered = !EventLog().IsRegistered() && EventLog().Register(kEventSourceName, &backend); }
    ~LibraryLog() {
      if (registered) EventLog().Deregister();
    }
  };
  static LibraryLog log;
}

int LogError(std::string_view text) { return EventLog().Write(OS::kEventError, kLogCategory, kLogEventId, {text}); }
int LogWarning(std::string_view text) { return EventLog().Write(OS::kEventWarning, kLogCategory, kLogEventId, {text}); }
int LogInformation(std::string_view text) {
  return EventLog().Write(OS::kEventInformation, kLogCategory, kLogEventId, {text});
}

int LogErrorFormat(const char* format, ...) {
  va_list ap;
  va_start(ap, format);
  const std::string text = FormatText(format, ap);
  va_end(ap);
  return EventLog().Write(OS::kEventError, kLogCategory, kLogEventId, {text});
}

int LogInformationFormat(const char* format, ...) {
  va_list ap;
  va_start(ap, format);
  const std::string text = FormatText(format, ap);
  va_end(ap);
  return EventLog().Write(OS::kEventInformation, kLogCategory, kLogEventId, {text});
}

}  // namespace ORV
