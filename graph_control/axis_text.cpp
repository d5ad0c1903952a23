#include "graph_control/axis_text.h"

#include <locale.h>

#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <ctime>

namespace ORV::Graph {

namespace {

locale_t CLocale() {
  static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  return c;
}

// printf in the "C" locale, whatever the thread's locale is.
std::string CFormat(const char* format, ...) {
  const locale_t previous = uselocale(CLocale());
  char buf[512];
  va_list args;
  va_start(args, format);
  const int n = std::vsnprintf(buf, sizeof buf, format, args);
  va_end(args);
  uselocale(previous);
  if (n < 0) return {};
  return std::string(buf, static_cast<std::size_t>(std::min<int>(n, sizeof buf - 1)));
}

// v truncated toward zero and held inside the 64-bit range.
std::int64_t Truncated(double v) {
  constexpr double kLimit = 9223372036854775808.0;
  if (std::isnan(v)) return 0;
  if (v >= kLimit) return INT64_MAX;
  if (v < -kLimit) return INT64_MIN;
  return static_cast<std::int64_t>(v);
}

// True when `format` is literal text with "%%" and exactly one conversion
// of a double.
bool IsNumberFormat(const std::string& format) {
  int conversions = 0;
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] != '%') continue;
    if (++i < format.size() && format[i] == '%') continue;
    while (i < format.size() && std::string_view("-+ #0").find(format[i]) != std::string_view::npos) ++i;
    auto digits = [&] {
      std::size_t start = i;
      while (i < format.size() && format[i] >= '0' && format[i] <= '9') ++i;
      return i - start <= 2;
    };
    if (!digits()) return false;
    if (i < format.size() && format[i] == '.') {
      ++i;
      if (!digits()) return false;
    }
    if (i < format.size() && format[i] == 'l') ++i;
    if (i >= format.size() || std::string_view("eEfFgGaA").find(format[i]) == std::string_view::npos) return false;
    ++conversions;
  }
  return conversions == 1;
}

// Days from 1970-01-01 to a civil date, and back (proleptic Gregorian).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, std::int64_t& y, unsigned& m, unsigned& d) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp < 10 ? mp + 3 : mp - 9;
  y = static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2);
}

}  // namespace

std::string TimeText(double t) {
  if (!std::isfinite(t)) return {};
  const std::int64_t whole = Truncated(t);
  const std::int64_t hours = whole / 3600;
  const std::int64_t minutes = whole % 3600 / 60;
  const double seconds = static_cast<double>(Truncated(t * 100) % 6000) / 100.0;
  if (hours >= 1)
    return CFormat("%lld:%02lld:%05.2f", static_cast<long long>(hours), static_cast<long long>(minutes), seconds);
  if (minutes > 0) return CFormat("%02lld:%05.2f", static_cast<long long>(minutes), seconds);
  return CFormat("%05.2f", seconds);
}

std::string XLabelText(double v, double division, bool xTime, const std::string& format) {
  if (!xTime) return FormatNumber(format, v);
  if (v < 60) return division < 1 ? CFormat("%.1f", v) : CFormat("%lld", static_cast<long long>(Truncated(v)));
  return TimeText(v);
}

std::string YLabelText(double v, bool yTime, const std::string& format) {
  return yTime ? FormatDate(v, format) : FormatNumber(format, v);
}

std::string FormatNumber(const std::string& format, double v) {
  return CFormat(IsNumberFormat(format) ? format.c_str() : "%g", v);
}

std::string FormatDate(double date, const std::string& format) {
  // The years 100 to 9999, as automation dates allow.
  if (!std::isfinite(date) || date < -657434.0 || date >= 2958466.0) return "Invalid DateTime";
  // The whole part counts days (toward zero); the fraction is the time of
  // day on either side of the epoch.
  auto days = static_cast<std::int64_t>(std::trunc(date));
  auto seconds = static_cast<std::int64_t>(std::llround(std::fabs(date - static_cast<double>(days)) * 86400.0));
  if (seconds >= 86400) {
    seconds -= 86400;
    days += date < 0 ? -1 : 1;
  }
  const std::int64_t unixDays = days - 25569;
  std::int64_t y = 0;
  unsigned m = 0, d = 0;
  CivilFromDays(unixDays, y, m, d);
  std::tm tm{};
  tm.tm_year = static_cast<int>(y - 1900);
  tm.tm_mon = static_cast<int>(m - 1);
  tm.tm_mday = static_cast<int>(d);
  tm.tm_hour = static_cast<int>(seconds / 3600);
  tm.tm_min = static_cast<int>(seconds % 3600 / 60);
  tm.tm_sec = static_cast<int>(seconds % 60);
  tm.tm_wday = static_cast<int>(((unixDays % 7) + 11) % 7);  // 1970-01-01 was a Thursday
  tm.tm_yday = static_cast<int>(unixDays - DaysFromCivil(y, 1, 1));
  char buf[256];
  const std::size_t n = strftime_l(buf, sizeof buf, format.c_str(), &tm, CLocale());
  return std::string(buf, n);
}

}  // namespace ORV::Graph
