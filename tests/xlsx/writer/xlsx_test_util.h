#pragma once
// Helpers of the spreadsheet writer tests: reading a part back and checking
// it with an XML parser.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace XlsxTest {

inline constexpr const char* kDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

inline std::string ShellQuote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

// Runs a command and returns its standard output; `status` gets its exit status.
inline std::string RunCommand(const std::string& command, int& status) {
  std::string out;
  FILE* p = ::popen(command.c_str(), "r");
  if (!p) {
    status = -1;
    return out;
  }
  char buf[4096];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  status = ::pclose(p);
  return out;
}

// Every file must be well-formed XML according to xmllint.
inline void ExpectWellFormed(const std::vector<std::string>& paths) {
  std::string command = "xmllint --noout";
  for (const std::string& p : paths) command += " " + ShellQuote(p);
  command += " 2>&1";
  int status = 0;
  const std::string messages = RunCommand(command, status);
  EXPECT_EQ(status, 0) << messages;
}

inline void ExpectWellFormed(const std::string& path) { ExpectWellFormed(std::vector<std::string>{path}); }

// Number of times `needle` occurs in `text`.
inline std::size_t CountOf(const std::string& text, const std::string& needle) {
  std::size_t n = 0;
  for (std::size_t pos = text.find(needle); pos != std::string::npos; pos = text.find(needle, pos + needle.size())) ++n;
  return n;
}

}  // namespace XlsxTest
