#include "core/base/time_text.h"

#include <cmath>
#include <cstdio>
#include <vector>

namespace ORV {

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

}  // namespace ORV
