#include "instruments/ascii_reply.h"

#include <algorithm>
#include <cmath>

#include "platform/os/number_text.h"

namespace ORV {

namespace {
std::optional<double> FiniteNumber(std::string_view text) {
  const std::optional<double> v = OS::ParseDouble(text);
  if (!v || !std::isfinite(*v)) return std::nullopt;
  return v;
}
}  // namespace

bool IsCompleteReply(std::string_view reply) {
  if (reply.ends_with('\n')) reply.remove_suffix(1);
  return reply.ends_with('\r');
}

std::optional<double> ReplyNumber(std::string_view reply, char lead) {
  if (!IsCompleteReply(reply) || reply.empty() || reply.front() != lead) return std::nullopt;
  return FiniteNumber(reply.substr(1));
}

bool ParseNumberFields(const std::vector<std::string>& fields, std::span<float> out) {
  if (fields.size() < out.size()) return false;
  std::vector<float> values(out.size());
  for (std::size_t i = 0; i < out.size(); ++i) {
    const std::optional<double> v = FiniteNumber(fields[i]);
    if (!v) return false;
    values[i] = static_cast<float>(*v);
  }
  std::copy(values.begin(), values.end(), out.begin());
  return true;
}

std::string FormatZeroPadded(double v, int width, int decimals) {
  std::string text = OS::FormatFixed(v, decimals);
  const std::size_t sign = (!text.empty() && text.front() == '-') ? 1 : 0;
  if (text.size() < static_cast<std::size_t>(width))
    text.insert(sign, static_cast<std::size_t>(width) - text.size(), '0');
  return text;
}

}  // namespace ORV
