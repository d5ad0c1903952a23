#pragma once
// The workbook tests' side: a sandboxed temporary folder (where the workbook
// keeps its part files), a folder for the saved archives, and reading an
// archive back with the standard unzip tool.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/test_support.h"
#include "tests/xlsx/writer/xlsx_test_util.h"
#include "xlsx/workbook.h"

namespace XlsxTest {

class WorkbookTest : public ::testing::Test {
 protected:
  // Names in the sandboxed temporary folder that belong to a workbook.
  std::vector<std::string> WorkbookTempFolders() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(std::getenv("TMPDIR"))) {
      const std::string name = entry.path().filename().string();
      if (name.rfind("xlsx_", 0) == 0) names.push_back(name);
    }
    return names;
  }

  // Everything in the output folder, sorted.
  std::vector<std::string> OutputFolderNames() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(out_.path()))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  // The archive's entry names in the order of its central directory.
  std::vector<std::string> EntryNames(const std::string& archive) const {
    int status = 0;
    const std::string listing = RunCommand("unzip -Z1 " + ShellQuote(archive), status);
    EXPECT_EQ(status, 0) << listing;
    std::vector<std::string> names;
    std::size_t start = 0;
    for (std::size_t end; (end = listing.find('\n', start)) != std::string::npos; start = end + 1)
      names.push_back(listing.substr(start, end - start));
    return names;
  }

  // Unpacks the archive (checking every entry's CRC on the way) into a new
  // folder and returns that folder.
  std::string Unpack(const std::string& archive) {
    const std::string folder = out_ / ("unpacked" + std::to_string(++unpacked_));
    int status = 0;
    const std::string messages =
        RunCommand("unzip -q -d " + ShellQuote(folder) + " " + ShellQuote(archive) + " 2>&1", status);
    EXPECT_EQ(status, 0) << messages;
    return folder;
  }

  // Saves the workbook as `name` in the output folder, unpacks it and
  // returns the unpacked folder.
  std::string SaveAndUnpack(Xlsx::CWorkbook& book, const std::string& name = "book.xlsx") {
    const std::string path = out_ / name;
    EXPECT_TRUE(book.Save(path));
    return Unpack(path);
  }

  // An unpacked part without its declaration line (which is checked).
  static std::string Part(const std::string& folder, const std::string& entry) {
    const std::string text = ReadFile(folder + "/" + entry);
    EXPECT_EQ(text.rfind(kDeclaration, 0), 0u) << entry;
    return text.substr(std::min(text.size(), std::string(kDeclaration).size()));
  }

  ORV::Test::SandboxedHome home_;
  ORV::Test::TempDir out_;
  int unpacked_ = 0;
};

}  // namespace XlsxTest
