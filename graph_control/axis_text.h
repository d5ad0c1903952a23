#pragma once
// The texts of the graph's axis labels. Numbers always use "." as the
// decimal point, whatever the user's locale. No Qt here.
#include <string>

namespace ORV::Graph {

// A time of t seconds as "h:mm:ss.ss" from one hour on, "mm:ss.ss" from one
// minute on, else "ss.ss" (empty for a time that is not finite).
std::string TimeText(double t);

// The label of the X value v. With time labels: below 60 "%.1f" when one
// division is below 1, else the whole seconds; from 60 on the time text.
// Without: v printed with the user's format.
std::string XLabelText(double v, double division, bool xTime, const std::string& format);

// The label of the Y value v: with time labels v is a date (days since
// 30 December 1899) printed with the user's date format; without, v printed
// with the user's number format.
std::string YLabelText(double v, bool yTime, const std::string& format);

// v printed with a user's printf format. The format must hold exactly one
// floating-point conversion (flags "-+ #0", width and precision below 100,
// an optional "l", one of "eEfFgGaA") besides literal text and "%%"; any
// other format prints with "%g".
std::string FormatNumber(const std::string& format, double v);

// A date (days since 30 December 1899, the fraction the time of day) printed
// with strftime's conversions; "Invalid DateTime" outside the years 100 to
// 9999 or for a value that is not finite.
std::string FormatDate(double date, const std::string& format);

}  // namespace ORV::Graph
