#include "core/base/helpers.h"

#include <sys/prctl.h>
#include <time.h>

#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>

#include "platform/os/folders.h"
#include "platform/os/tick_source.h"

namespace ORV {

const double kPi = 4.0 * std::atan(1.0);

std::string FormatTimeSeconds(std::uint32_t s) {
  std::uint32_t hours = 0;
  std::uint32_t r = s;
  if (s >= 3600) {
    hours = s / 3600;
    r = s % 3600;
  }
  std::uint32_t minutes = 0;
  if (r >= 60) {
    minutes = r / 60;
    r %= 60;
  }
  char buf[48];
  if (hours > 0)
    std::snprintf(buf, sizeof buf, "%u:%02u:%02u", hours, minutes, r);
  else if (minutes == 0)
    std::snprintf(buf, sizeof buf, "%u", r);
  else
    std::snprintf(buf, sizeof buf, "%u:%02u", minutes, r);
  return buf;
}

namespace {
// "%05.2f" without the locale: v is in [0, 60) here, or negative for negative input.
std::string FormatSecondsField(double v) {
  const bool neg = v < 0;
  const long long hundredths = std::llround(std::fabs(v) * 100.0);
  char buf[48];
  // Zero-padded to five characters, the sign included: the whole seconds
  // take at least two digits, or one after a minus sign.
  std::snprintf(buf, sizeof buf, "%s%0*lld.%02lld", neg ? "-" : "", neg ? 1 : 2, hundredths / 100, hundredths % 100);
  return buf;
}
}  // namespace

std::string FormatTimeSecondsFraction(double s) {
  if (!std::isfinite(s) || std::fabs(s) > 2.0e7) s = 0.0;  // keeps the i32 steps defined
  const auto whole = static_cast<std::int32_t>(s);
  const auto hundredths = static_cast<std::int32_t>(s * 100.0);
  const double seconds = static_cast<double>(hundredths % 6000) / 100.0;
  const std::int32_t hours = whole / 3600;
  const std::int32_t minutes = (whole - hours * 3600) / 60;
  char buf[64];
  const std::string sec = FormatSecondsField(seconds);
  if (hours > 0)
    std::snprintf(buf, sizeof buf, "%d:%02d:%s", hours, minutes, sec.c_str());
  else if (minutes > 0)
    std::snprintf(buf, sizeof buf, "%02d:%s", minutes, sec.c_str());
  else
    std::snprintf(buf, sizeof buf, "%s", sec.c_str());
  return buf;
}

bool ParseTimeText(const char* text, std::int64_t& seconds) {
  if (!text) return false;
  return ParseTimeText(std::string_view(text), seconds);
}

bool ParseTimeText(std::string_view text, std::int64_t& seconds) {
  auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
  for (char c : text) {
    if (!(c >= '0' && c <= '9') && c != ':' && !isSpace(c)) return false;
  }
  std::size_t i = 0;
  while (i < text.size() && (text[i] == '0' || isSpace(text[i]))) ++i;
  text.remove_prefix(i);
  std::vector<std::string_view> fields;
  std::size_t start = 0;
  while (true) {
    const std::size_t colon = text.find(':', start);
    fields.push_back(text.substr(start, colon == std::string_view::npos ? std::string_view::npos : colon - start));
    if (colon == std::string_view::npos) break;
    start = colon + 1;
  }
  if (fields.size() > 3) return false;
  std::int64_t values[3] = {0, 0, 0};
  for (std::size_t f = 0; f < fields.size(); ++f) {
    std::string_view field = fields[f];
    std::int64_t sign = 1;
    if (!field.empty() && (field.front() == '-' || field.front() == '+')) {
      sign = field.front() == '-' ? -1 : 1;
      field.remove_prefix(1);
    }
    std::int64_t v = 0;
    int digits = 0;
    for (char c : field) {
      if (c < '0' || c > '9') break;
      if (v == 0 && c == '0') continue;
      if (++digits > 12) return false;  // no time has that many digits; keeps the sum in range
      v = v * 10 + (c - '0');
    }
    values[f] = sign * v;
  }
  std::int64_t h = 0, m = 0, sec = 0;
  if (fields.size() == 1) {
    sec = values[0];
  } else if (fields.size() == 2) {
    m = values[0];
    sec = values[1];
  } else {
    h = values[0];
    m = values[1];
    sec = values[2];
  }
  seconds = (h * 60 + m) * 60 + sec;
  return true;
}

double ShearStress(double a, double b, double flow) {
  const double r = (b - a) * 0.5;
  const double d = r * r * r * 3.14159265;
  if (d == 0.0) return 0.0;
  return flow / 60.0 * 0.028 * 1000000000.0 / d;
}

std::string MakeRandomName(const std::function<std::uint32_t()>& draw) {
  const std::uint32_t r = draw();
  const std::uint32_t v = (r % 9999999u) + 65535u;
  std::string name;
  for (int i = 0; i < 4; ++i) {
    const auto byte = static_cast<std::int8_t>((v >> (8 * i)) & 0xFF);
    int idx = byte % 30;
    if (idx < 0) idx = 0;
    name.push_back(kRandomNameAlphabet[static_cast<std::size_t>(idx)]);
  }
  return name;
}

std::string MakeRandomName() {
  unsigned seed = OS::GetTickCount();
  return MakeRandomName([&seed] { return static_cast<std::uint32_t>(rand_r(&seed)); });
}

std::string GetFileNamePart(std::string_view path) {
  const std::size_t p = path.find_last_of("/\\");
  return std::string(p == std::string_view::npos ? path : path.substr(p + 1));
}

std::string GetTempFolderPath() { return OS::TempDir() + "/"; }

std::string GetKnownFolderPath() { return OS::DataHome(); }

std::string JoinPath(std::string_view a, std::string_view b) {
  std::string out(a);
  if (!out.empty() && out.back() != '/' && out.back() != '\\') out += '/';
  out += b;
  return out;
}

std::string BuildPath(const std::vector<std::string>& parts) {
  std::string out;
  bool first = true;
  for (std::string_view p : parts) {
    const bool absolute = first && !p.empty() && p.front() == '/';
    if (!p.empty() && (p.front() == '/' || p.front() == '\\')) p.remove_prefix(1);
    if (!p.empty() && (p.back() == '/' || p.back() == '\\')) p.remove_suffix(1);
    if (!first || absolute) out += '/';
    out += p;
    first = false;
  }
  return out;
}

std::string BuildPath(std::initializer_list<std::string_view> parts) {
  std::vector<std::string> v;
  for (auto p : parts) v.emplace_back(p);
  return BuildPath(v);
}

int DeleteFilesInFolder(std::string_view folder) {
  namespace fs = std::filesystem;
  std::error_code ec;
  int count = 0;
  fs::directory_iterator it(fs::path(std::string(folder)), ec);
  if (ec) return 0;
  // Stepped with error codes: nothing here throws.
  for (; it != fs::directory_iterator(); it.increment(ec)) {
    std::error_code e2;
    const auto& entry = *it;
    if (entry.is_symlink(e2) || !entry.is_regular_file(e2)) continue;
    if (!fs::remove(entry.path(), e2)) return -1;
    ++count;
  }
  return ec ? -1 : count;
}

namespace {
std::mutex g_dpiMutex;
std::function<int()> g_dpiProvider;
}  // namespace

int DefaultDpi() { return 96; }

int QueryDpi() {
  std::lock_guard lock(g_dpiMutex);
  if (g_dpiProvider) {
    const int d = g_dpiProvider();
    if (d > 0) return d;
  }
  return DefaultDpi();
}

void SetDpiProvider(std::function<int()> provider) {
  std::lock_guard lock(g_dpiMutex);
  g_dpiProvider = std::move(provider);
}

int ScaleByDpi(int value, int dpi) { return static_cast<int>(static_cast<long long>(value) * dpi / 96); }

void HighResolutionSleep(std::int64_t interval100ns) {
  // Timer slack belongs to the thread, so each sleeping thread asks once.
  thread_local bool slackSet = false;
  if (!slackSet) {
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    slackSet = true;
  }
  if (interval100ns <= 0) return;
  timespec ts{};
  ts.tv_sec = static_cast<time_t>(interval100ns / 10000000);
  ts.tv_nsec = static_cast<long>((interval100ns % 10000000) * 100);
  while (clock_nanosleep(CLOCK_MONOTONIC, 0, &ts, &ts) == EINTR) {
  }
}

}  // namespace ORV
