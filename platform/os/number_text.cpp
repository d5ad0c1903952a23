#include "platform/os/number_text.h"

#include <locale.h>

#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

#include "platform/os/text.h"

namespace ORV::OS {

namespace {
std::string NonFinite(double v) {
  if (std::isnan(v)) return "nan";
  return v < 0 ? "-inf" : "inf";
}

// The shortest text that reads back to the same value of its own type.
template <class Number>
std::string Shortest(Number v) {
  if (!std::isfinite(v)) return NonFinite(v);
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  if (r.ec != std::errc()) return "0";
  return std::string(buf, r.ptr);
}
}  // namespace

std::string FormatFixed(double v, int decimals) {
  if (!std::isfinite(v)) return NonFinite(v);
  if (decimals < 0) decimals = 0;
  if (decimals > 60) decimals = 60;
  char buf[400];
  auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
  if (r.ec != std::errc()) return "0";
  return std::string(buf, r.ptr);
}

std::string FormatShortest(double v) { return Shortest(v); }

std::string FormatShortestFloat(float v) { return Shortest(v); }

std::string FormatGeneral(double v, int precision) {
  if (!std::isfinite(v)) return NonFinite(v);
  if (precision < 1) precision = 1;
  if (precision > 40) precision = 40;
  char buf[128];
  auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, precision);
  if (r.ec != std::errc()) return "0";
  return std::string(buf, r.ptr);
}

std::string FormatInt(long long v) {
  char buf[32];
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, r.ptr);
}

std::optional<double> ParseDouble(std::string_view text) {
  text = Trim(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty()) return std::nullopt;
  double v = 0;
  auto r = std::from_chars(text.data(), text.data() + text.size(), v);
  if (r.ec != std::errc() || r.ptr != text.data() + text.size()) return std::nullopt;
  return v;
}

std::optional<long long> ParseInt(std::string_view text) {
  text = Trim(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty()) return std::nullopt;
  long long v = 0;
  auto r = std::from_chars(text.data(), text.data() + text.size(), v);
  if (r.ec != std::errc() || r.ptr != text.data() + text.size()) return std::nullopt;
  return v;
}

double LeadingDouble(std::string_view text) {
  while (!text.empty() && IsAsciiSpace(text.front())) text.remove_prefix(1);
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (text.empty() || text.front() == '-' || text.front() == '+') return 0.0;
  double v = 0;
  auto r = std::from_chars(text.data(), text.data() + text.size(), v);
  if (r.ec == std::errc::result_out_of_range) {
    // from_chars leaves v untouched when the value is out of range, whether
    // too large (atof: HUGE_VAL) or too small (atof: 0 or a subnormal).
    // strtod in the "C" locale tells the two apart.
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    const std::string copy(text.data(), static_cast<std::size_t>(r.ptr - text.data()));
    v = cLocale ? strtod_l(copy.c_str(), nullptr, cLocale) : 0.0;
  } else if (r.ec != std::errc()) {
    return 0.0;
  }
  return negative ? -v : v;
}

long long LeadingInt(std::string_view text) {
  while (!text.empty() && IsAsciiSpace(text.front())) text.remove_prefix(1);
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  unsigned long long v = 0;
  auto r = std::from_chars(text.data(), text.data() + text.size(), v);
  if (r.ec == std::errc::result_out_of_range) {
    return negative ? std::numeric_limits<long long>::min() : std::numeric_limits<long long>::max();
  }
  if (r.ec != std::errc()) return 0;
  if (v > static_cast<unsigned long long>(std::numeric_limits<long long>::max())) {
    return negative ? std::numeric_limits<long long>::min() : std::numeric_limits<long long>::max();
  }
  return negative ? -static_cast<long long>(v) : static_cast<long long>(v);
}

void PinNumericLocale() { std::setlocale(LC_NUMERIC, "C"); }

}  // namespace ORV::OS
