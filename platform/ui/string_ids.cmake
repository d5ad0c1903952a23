# Writes the header of the string table's ids by their names.
#   cmake -DTABLE=<strings/tarvix5.txt> -DOUTPUT=<string_ids.h> -P string_ids.cmake
file(STRINGS "${TABLE}" lines ENCODING UTF-8)
set(body "")
foreach(line IN LISTS lines)
  if(line MATCHES "^[ \t]*([0-9]+)[ \t]+([A-Za-z_][A-Za-z0-9_]*)[ \t]+\"")
    string(APPEND body "inline constexpr std::uint32_t ${CMAKE_MATCH_2} = ${CMAKE_MATCH_1};\n")
  endif()
endforeach()
set(text "#pragma once\n// Generated from resources/strings/tarvix5.txt by platform/ui/string_ids.cmake.\n#include <cstdint>\n\nnamespace ORV::UI {\n\n${body}\n}  // namespace ORV::UI\n")
# Rewritten only when it changes, so a new text alone rebuilds nothing.
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" old)
  if(old STREQUAL text)
    return()
  endif()
endif()
file(WRITE "${OUTPUT}" "${text}")
