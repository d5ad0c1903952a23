#pragma once
// One field of the program's semicolon-separated text files.
#include <string>
#include <string_view>

namespace ORV::Views {

// The text as it is, or, when it holds ';', '"', a carriage return or a line
// feed, in double quotes with each quote doubled, so that a name holding a
// separator cannot shift the columns after it.
std::string CsvField(std::string_view text);

}  // namespace ORV::Views
