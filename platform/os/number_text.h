#pragma once
// Number <-> text conversion that never depends on the user's locale.
//
// Files, protocols, settings and exports always use "." as the decimal point.
// These helpers use std::to_chars / std::from_chars, which ignore LC_NUMERIC.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ORV::OS {

// Like printf("%.*f", decimals, v).
std::string FormatFixed(double v, int decimals);
// Like printf("%g")-free shortest round-trip text ("1.5", "1e+20").
std::string FormatShortest(double v);
// The shortest text that reads back to the same 32-bit float ("37.9" for
// 37.9f, never the digits of its double value).
std::string FormatShortestFloat(float v);
std::string FormatInt(long long v);
// Like printf("%.*g", precision, v): at most `precision` significant digits,
// no trailing zeros, exponent form only for very large or small values.
std::string FormatGeneral(double v, int precision);

// The whole text must be a number (leading and trailing white space allowed).
std::optional<double> ParseDouble(std::string_view text);
std::optional<long long> ParseInt(std::string_view text);

// Like atof / atoi in the "C" locale: leading white space is skipped, the
// longest numeric prefix is converted, and a text without one gives 0.
double LeadingDouble(std::string_view text);
long long LeadingInt(std::string_view text);

// Pins LC_NUMERIC to "C" for the process (the program calls it at start).
void PinNumericLocale();

}  // namespace ORV::OS
