#include "xlsx/part_files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "platform/os/folders.h"
#include "tests/support/test_support.h"

namespace Xlsx {
namespace {

using ORV::OS::IsDirectory;
using ORV::OS::PathExists;

TEST(TempFileRegistry, RecordsTheFoldersItMakesInOrder) {
  ORV::Test::SandboxedHome home;  // a private $TMPDIR
  TempFileRegistry registry;
  EXPECT_TRUE(registry.Root().empty());

  const std::string sheet = registry.RegisterPartFile("/xl/worksheets/sheet1.xml");
  const std::string root = registry.Root();
  ASSERT_FALSE(root.empty());
  EXPECT_EQ(root.rfind(home.root() + "/tmp/xlsx_", 0), 0u) << root;
  EXPECT_EQ(sheet, root + "/xl/worksheets/sheet1.xml");
  EXPECT_EQ(registry.Folders(), (std::vector<std::string>{root, root + "/xl", root + "/xl/worksheets"}));
  struct stat st {};
  ASSERT_EQ(::stat(root.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u) << "the package tree is private";

  // Existing folders are not recorded again; both separators split folders.
  EXPECT_EQ(registry.RegisterPartFile("/xl/styles.xml"), root + "/xl/styles.xml");
  EXPECT_EQ(registry.RegisterPartFile("/docProps\\core.xml"), root + "/docProps/core.xml");
  EXPECT_EQ(registry.RegisterPartFile("/[Content_Types].xml"), root + "/[Content_Types].xml");
  EXPECT_EQ(registry.Folders(),
            (std::vector<std::string>{root, root + "/xl", root + "/xl/worksheets", root + "/docProps"}));
  EXPECT_EQ(registry.Files(), (std::vector<std::string>{"/xl/worksheets/sheet1.xml", "/xl/styles.xml",
                                                        "/docProps\\core.xml", "/[Content_Types].xml"}));
  EXPECT_TRUE(IsDirectory(root + "/docProps"));
}

TEST(TempFileRegistry, RefusesNamesOutsideTheTree) {
  ORV::Test::SandboxedHome home;
  TempFileRegistry registry;
  for (const char* name :
       {"", "/", "xl/styles.xml", "/../evil.xml", "/xl/../../evil.xml", "/xl//a.xml", "/xl/./a.xml", "/xl/"}) {
    EXPECT_EQ(registry.RegisterPartFile(name), "") << name;
  }
  EXPECT_TRUE(registry.Files().empty());
  EXPECT_TRUE(registry.Folders().empty());
}

TEST(TempFileRegistry, RemovesOnlyWhatItRegistered) {
  ORV::Test::SandboxedHome home;
  TempFileRegistry registry;
  for (const char* name : {"/xl/worksheets/sheet1.xml", "/xl/styles.xml", "/_rels/.rels"}) {
    std::ofstream(registry.RegisterPartFile(name)) << "x";
  }
  const std::string root = registry.Root();
  const std::string foreign = root + "/xl/foreign.txt";
  std::ofstream(foreign) << "not ours";

  registry.RemoveAll();
  EXPECT_TRUE(registry.Files().empty());
  EXPECT_TRUE(registry.Folders().empty());
  EXPECT_FALSE(PathExists(root + "/xl/worksheets"));
  EXPECT_FALSE(PathExists(root + "/xl/styles.xml"));
  EXPECT_FALSE(PathExists(root + "/_rels"));
  EXPECT_TRUE(PathExists(foreign)) << "a file that was not registered stays";
  EXPECT_TRUE(IsDirectory(root + "/xl")) << "and so does its folder";

  ORV::OS::RemoveTree(root);
}

TEST(TempFileRegistry, LeavesNothingBehindAndStartsAfreshAfterRemoval) {
  ORV::Test::SandboxedHome home;
  std::string firstRoot;
  {
    TempFileRegistry registry;
    std::ofstream(registry.RegisterPartFile("/xl/theme/theme1.xml")) << "x";
    firstRoot = registry.Root();
    registry.RemoveAll();
    EXPECT_FALSE(PathExists(firstRoot));
    EXPECT_TRUE(registry.Root().empty());

    std::ofstream(registry.RegisterPartFile("/xl/styles.xml")) << "x";
    EXPECT_FALSE(registry.Root().empty());
    EXPECT_EQ(registry.Folders().front(), registry.Root());
    firstRoot = registry.Root();
  }
  EXPECT_FALSE(PathExists(firstRoot)) << "the destructor removes what is still registered";
}

TEST(XlsxTextRecord, HoldsBothEncodings) {
  const XlsxTextRecord fromUtf8(std::string_view("\xC2\xB5m \xF0\x9D\x84\x9E"));
  EXPECT_EQ(fromUtf8.wide, u"\u00B5m \U0001D11E");
  const XlsxTextRecord fromWide(std::u16string_view(u"Gef\u00E4\u00DF"));
  EXPECT_EQ(fromWide.utf8, "Gef\xC3\xA4\xC3\x9F");
  EXPECT_TRUE(XlsxTextRecord().IsEmpty());
  EXPECT_FALSE(fromWide.IsEmpty());
}

}  // namespace
}  // namespace Xlsx
