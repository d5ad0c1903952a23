#include "xlsx/zip_packager.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <csignal>
#include <cstdio>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "platform/os/folders.h"
#include "tests/support/test_support.h"
#include "tests/xlsx/zip/test_inputs.h"

namespace Xlsx {
namespace {

namespace fx = ZipFixtures;

std::uint32_t U16(const std::string& b, std::size_t at) {
  return static_cast<unsigned char>(b.at(at)) | static_cast<unsigned char>(b.at(at + 1)) << 8;
}
std::uint32_t U32(const std::string& b, std::size_t at) { return U16(b, at) | U16(b, at + 2) << 16; }

// An archive read back through its end record and central directory.
struct Entry {
  std::size_t central = 0;  // offset of the central header
  std::size_t local = 0;    // offset of the local header
  std::string name;
  std::uint32_t method = 0;
  std::uint32_t compressedSize = 0;
  std::string data;  // the entry's stored bytes
};

struct Archive {
  std::string bytes;
  std::uint32_t entryCount = 0;
  std::uint32_t directorySize = 0;
  std::uint32_t directoryOffset = 0;
  std::vector<Entry> entries;
};

Archive ReadArchive(const std::string& path) {
  Archive a;
  EXPECT_TRUE(ORV::OS::ReadFile(path, a.bytes));
  const std::string& b = a.bytes;
  if (b.size() < 22) {
    ADD_FAILURE() << "no end record";
    return a;
  }
  const std::size_t end = b.size() - 22;
  EXPECT_EQ(U32(b, end), 0x06054B50u);
  EXPECT_EQ(U16(b, end + 20), 0u) << "comment length";
  a.entryCount = U16(b, end + 10);
  EXPECT_EQ(U16(b, end + 8), a.entryCount);
  a.directorySize = U32(b, end + 12);
  a.directoryOffset = U32(b, end + 16);
  EXPECT_EQ(std::size_t{a.directoryOffset} + a.directorySize, end);
  std::size_t at = a.directoryOffset;
  for (std::uint32_t i = 0; i < a.entryCount; ++i) {
    Entry e;
    e.central = at;
    EXPECT_EQ(U32(b, at), 0x02014B50u);
    const std::uint32_t nameLength = U16(b, at + 28);
    e.name = b.substr(at + 46, nameLength);
    e.method = U16(b, at + 10);
    e.compressedSize = U32(b, at + 20);
    e.local = U32(b, at + 42);
    EXPECT_EQ(U32(b, e.local), 0x04034B50u);
    const std::size_t dataAt = e.local + 30 + U16(b, e.local + 26) + U16(b, e.local + 28);
    e.data = b.substr(dataAt, e.compressedSize);
    a.entries.push_back(e);
    at += 46 + nameLength + U16(b, at + 30) + U16(b, at + 32);
  }
  EXPECT_EQ(at, end);
  return a;
}

std::string RawInflate(const std::string& raw) {
  z_stream z{};
  inflateInit2(&z, -15);
  std::string out;
  std::vector<char> chunk(1 << 16);
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(raw.data()));
  z.avail_in = static_cast<uInt>(raw.size());
  int ret = Z_OK;
  while (ret == Z_OK) {
    z.next_out = reinterpret_cast<Bytef*>(chunk.data());
    z.avail_out = static_cast<uInt>(chunk.size());
    ret = inflate(&z, Z_NO_FLUSH);
    out.append(chunk.data(), chunk.size() - z.avail_out);
  }
  inflateEnd(&z);
  EXPECT_EQ(ret, Z_STREAM_END);
  return out;
}

std::uint32_t Crc(const std::string& s) {
  return static_cast<std::uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(s.data()), static_cast<uInt>(s.size())));
}

std::int64_t Utc(int year, int month, int day, int hour, int minute, int second) {
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = hour;
  tm.tm_min = minute;
  tm.tm_sec = second;
  return timegm(&tm);
}

// Runs a shell command; its exit status and standard output.
std::pair<int, std::string> RunCommand(const std::string& command) {
  std::string out;
  FILE* p = popen(command.c_str(), "r");
  if (!p) return {-1, out};
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, p)) > 0) out.append(buffer, n);
  const int status = pclose(p);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

class ZipWriterTest : public ::testing::Test {
 protected:
  // Writes a source file; `mtime` in seconds since 1970 (UTC) when given.
  std::string Source(const std::string& name, const std::string& content, std::optional<std::int64_t> mtime = {},
                     mode_t mode = 0644) {
    const std::string path = dir_ / name;
    EXPECT_TRUE(ORV::OS::AtomicWriteFile(path, content));
    EXPECT_EQ(chmod(path.c_str(), mode), 0);
    if (mtime) {
      timespec times[2] = {{*mtime - 3600, 0}, {*mtime, 0}};
      EXPECT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    }
    return path;
  }
  std::string Target(const std::string& name = "out.zip") { return dir_ / name; }

  // Packs (entry name, source path) pairs; every step must succeed.
  std::string Pack(const std::vector<std::pair<std::string, std::string>>& files, const std::string& name = "out.zip") {
    ZipHandle* h = ZipWriter::Create(Target(name));
    EXPECT_NE(h, nullptr);
    for (const auto& [entry, source] : files) EXPECT_EQ(ZipWriter::AddFile(h, entry, source), kZipOk) << entry;
    EXPECT_EQ(ZipWriter::Close(h), kZipOk);
    return Target(name);
  }

  ORV::Test::TempDir dir_;
};

TEST_F(ZipWriterTest, AnArchiveWithoutEntriesIsTheEndRecordAlone) {
  const std::string path = Pack({});
  std::string bytes;
  ASSERT_TRUE(ORV::OS::ReadFile(path, bytes));
  std::string expected(22, '\0');
  expected.replace(0, 4, "PK\x05\x06");
  EXPECT_EQ(bytes, expected);
}

TEST_F(ZipWriterTest, WritesHeaderFieldsAtTheirOffsets) {
  const std::int64_t mtime = Utc(2023, 5, 17, 13, 45, 58);
  const std::string styles = fx::WorksheetXml(20000);
  const std::string picture = fx::RandomBytes(5000);
  const Archive a = ReadArchive(Pack({{"xl\\styles.xml", Source("styles.xml", styles, mtime)},
                                      {"xl\\media\\pic.zip", Source("pic.zip", picture, mtime)}}));
  ASSERT_EQ(a.entryCount, 2u);
  const std::string& b = a.bytes;

  struct Expected {
    const char* name;
    const std::string* content;
    std::uint32_t method;
    std::uint32_t flags;
  };
  const Expected expected[] = {{"xl/styles.xml", &styles, 8, 2}, {"xl/media/pic.zip", &picture, 0, 0}};
  std::size_t nextLocal = 0;
  for (std::size_t i = 0; i < 2; ++i) {
    const Expected& x = expected[i];
    const Entry& e = a.entries[i];
    SCOPED_TRACE(x.name);
    const std::size_t n = std::string(x.name).size();
    const std::size_t l = e.local;
    const std::size_t c = e.central;
    EXPECT_EQ(l, nextLocal);

    // Local header.
    EXPECT_EQ(U16(b, l + 4), 20u);
    EXPECT_EQ(U16(b, l + 6), x.flags);
    EXPECT_EQ(U16(b, l + 8), x.method);
    EXPECT_EQ(U16(b, l + 10), 13u << 11 | 45u << 5 | 29u);
    EXPECT_EQ(U16(b, l + 12), 43u << 9 | 5u << 5 | 17u);
    EXPECT_EQ(U32(b, l + 14), Crc(*x.content));
    EXPECT_EQ(U32(b, l + 18), e.data.size());
    EXPECT_EQ(U32(b, l + 22), x.content->size());
    EXPECT_EQ(U16(b, l + 26), n);
    EXPECT_EQ(U16(b, l + 28), 17u);
    EXPECT_EQ(b.substr(l + 30, n), x.name);
    EXPECT_EQ(b.substr(l + 30 + n, 5), std::string("UT\x0D\x00\x07", 5));
    EXPECT_EQ(U32(b, l + 30 + n + 5), static_cast<std::uint32_t>(mtime));
    EXPECT_EQ(U32(b, l + 30 + n + 9), static_cast<std::uint32_t>(mtime - 3600));  // access
    nextLocal = l + 30 + n + 17 + e.data.size();

    // Central header: the same values, plus what only it holds.
    EXPECT_EQ(U16(b, c + 4), 0x0B17u);
    for (std::size_t f = 0; f < 24; f += 2) EXPECT_EQ(U16(b, c + 6 + f), U16(b, l + 4 + f)) << "field at " << f;
    EXPECT_EQ(U16(b, c + 30), 9u);
    EXPECT_EQ(U16(b, c + 32), 0u);
    EXPECT_EQ(U16(b, c + 34), 0u);
    EXPECT_EQ(U16(b, c + 36), 0u);
    EXPECT_EQ(U32(b, c + 38), 0x81800020u);
    EXPECT_EQ(b.substr(c + 46, n), x.name);
    EXPECT_EQ(b.substr(c + 46 + n, 5), std::string("UT\x05\x00\x07", 5));
    EXPECT_EQ(U32(b, c + 46 + n + 5), static_cast<std::uint32_t>(mtime));

    EXPECT_EQ(x.method == 8 ? RawInflate(e.data) : e.data, *x.content);
  }
  EXPECT_EQ(a.directoryOffset, nextLocal);
}

TEST_F(ZipWriterTest, StoresOnlyNamesWithAnArchiveExtension) {
  struct Case {
    const char* name;
    std::uint32_t method;
  };
  const Case cases[] = {{"xl/workbook.xml", 8}, {"a.zip", 0}, {"a.Z", 0},   {"a.zoo", 0},      {"a.arc", 0},
                        {"a.lzh", 0},           {"a.arj", 0}, {"a.gz", 0},  {"a.tgz", 0},      {"a.ZIP", 8},
                        {"a.gz2", 8},           {"a.z", 8},   {"noext", 8}, {"d.zip/file", 8}, {"a.zip.xml", 8}};
  const std::string source = Source("src", fx::Text(1000));
  std::vector<std::pair<std::string, std::string>> files;
  for (const Case& c : cases) files.emplace_back(c.name, source);
  const Archive a = ReadArchive(Pack(files));
  ASSERT_EQ(a.entries.size(), std::size(cases));
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(a.entries[i].name, cases[i].name);
    EXPECT_EQ(a.entries[i].method, cases[i].method) << cases[i].name;
  }
}

TEST_F(ZipWriterTest, ExternalAttributesFollowTheSourceFile) {
  struct Case {
    const char* file;
    mode_t mode;
    std::uint32_t attributes;
  };
  const Case cases[] = {
      {"writable.xml", 0644, 0x81800020},  // regular file, owner write; archive
      {"readonly.xml", 0444, 0x81000021},  // no owner write; read-only, archive
      {".hidden.xml", 0600, 0x81800022},   // hidden, archive
  };
  std::vector<std::pair<std::string, std::string>> files;
  for (const Case& c : cases) files.emplace_back(c.file, Source(c.file, "x", {}, c.mode));
  const Archive a = ReadArchive(Pack(files));
  ASSERT_EQ(a.entries.size(), std::size(cases));
  for (std::size_t i = 0; i < std::size(cases); ++i)
    EXPECT_EQ(U32(a.bytes, a.entries[i].central + 38), cases[i].attributes) << cases[i].file;
}

TEST_F(ZipWriterTest, DosTimeIsTheModificationTimeInUtc) {
  struct Case {
    const char* what;
    std::int64_t mtime;
    std::uint32_t time;
    std::uint32_t date;
  };
  const Case cases[] = {
      {"even second", Utc(2023, 5, 17, 13, 45, 58), 13 << 11 | 45 << 5 | 29, 43 << 9 | 5 << 5 | 17},
      {"odd second", Utc(2023, 5, 17, 13, 45, 59), 13 << 11 | 45 << 5 | 29, 43 << 9 | 5 << 5 | 17},
      {"first day", Utc(1980, 1, 1, 0, 0, 0), 0, 1 << 5 | 1},
      {"last second", Utc(2107, 12, 31, 23, 59, 59), 23 << 11 | 59 << 5 | 29, 127 << 9 | 12 << 5 | 31},
      {"before 1980 is clamped", 0, 0, 1 << 5 | 1},
      {"after 2107 is clamped", Utc(2200, 6, 1, 12, 0, 0), 23 << 11 | 59 << 5 | 29, 127 << 9 | 12 << 5 | 31},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Archive a = ReadArchive(Pack({{"t.xml", Source("t.xml", "time", c.mtime)}}));
    ASSERT_EQ(a.entries.size(), 1u);
    EXPECT_EQ(U16(a.bytes, 10), c.time);
    EXPECT_EQ(U16(a.bytes, 12), c.date);
  }
}

TEST_F(ZipWriterTest, AnEmptySourceIsAnEmptyDeflatedEntry) {
  const Archive a = ReadArchive(Pack({{"empty.xml", Source("empty.xml", "")}}));
  ASSERT_EQ(a.entries.size(), 1u);
  const Entry& e = a.entries[0];
  EXPECT_EQ(e.method, 8u);
  EXPECT_EQ(U16(a.bytes, e.local + 6), 2u);
  EXPECT_EQ(U32(a.bytes, e.local + 14), 0u);
  EXPECT_EQ(U32(a.bytes, e.local + 18), 2u);
  EXPECT_EQ(U32(a.bytes, e.local + 22), 0u);
  EXPECT_EQ(e.data, std::string("\x03\x00", 2));
}

TEST_F(ZipWriterTest, StandardToolsAcceptTheArchive) {
  const std::string sheet = fx::WorksheetXml(1000000);
  const std::string noise = fx::RandomBytes(300000);
  const std::string path = Pack({{"[Content_Types].xml", Source("types.xml", fx::Text(1500))},
                                 {"xl\\worksheets\\sheet1.xml", Source("sheet1.xml", sheet)},
                                 {"docProps/empty.xml", Source("empty.xml", "")},
                                 {"xl/media/noise.bin", Source("noise.bin", noise)},
                                 {"xl/embeddings/old.zip", Source("old.zip", fx::RandomBytes(10000, 5))}});
  const auto [unzipStatus, unzipOut] = RunCommand("unzip -t -qq '" + path + "' 2>&1");
  EXPECT_EQ(unzipStatus, 0) << unzipOut;
  const auto [pyStatus, pyOut] = RunCommand(
      "python3 -c 'import sys, zipfile\n"
      "z = zipfile.ZipFile(sys.argv[1])\n"
      "print(z.testzip())\n"
      "for i in z.infolist(): print(i.filename, i.file_size, i.compress_type)' '" +
      path + "' 2>&1");
  EXPECT_EQ(pyStatus, 0) << pyOut;
  EXPECT_EQ(pyOut,
            "None\n"
            "[Content_Types].xml 1500 8\n"
            "xl/worksheets/sheet1.xml " +
                std::to_string(sheet.size()) +
                " 8\n"
                "docProps/empty.xml 0 8\n"
                "xl/media/noise.bin 300000 8\n"
                "xl/embeddings/old.zip 10000 0\n");
}

TEST_F(ZipWriterTest, RejectsBadHandlesAndNames) {
  const std::string source = Source("s.xml", "data");
  EXPECT_EQ(ZipWriter::AddFile(nullptr, "s.xml", source), kZipBadArgument);
  EXPECT_EQ(ZipWriter::LastResult(), kZipBadArgument);
  EXPECT_EQ(ZipWriter::Close(nullptr), kZipBadArgument);

  ZipHandle other{1, nullptr};
  EXPECT_EQ(ZipWriter::AddFile(&other, "s.xml", source), kZipNotWriter);
  EXPECT_EQ(ZipWriter::LastResult(), kZipNotWriter);
  EXPECT_EQ(ZipWriter::Close(&other), kZipNotWriter);

  ZipHandle* h = ZipWriter::Create(Target());
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(ZipWriter::LastResult(), kZipOk);
  EXPECT_EQ(ZipWriter::AddFile(h, "", source), kZipBadArgument);
  EXPECT_EQ(ZipWriter::AddFile(h, std::string(70000, 'n'), source), kZipBadArgument);
  EXPECT_EQ(ZipWriter::AddFile(h, "s.xml", source), kZipOk);
  EXPECT_EQ(ZipWriter::Close(h), kZipOk);
  EXPECT_EQ(ReadArchive(Target()).entryCount, 1u);
}

TEST_F(ZipWriterTest, ReportsFilesThatCannotBeOpened) {
  EXPECT_EQ(ZipWriter::Create(dir_ / "missing/out.zip"), nullptr);
  EXPECT_EQ(ZipWriter::LastResult(), kZipOpenFailed);

  ZipHandle* h = ZipWriter::Create(Target());
  ASSERT_NE(h, nullptr);
  for (const std::string& source : {dir_ / "missing.xml", dir_.path()}) {
    EXPECT_EQ(ZipWriter::AddFile(h, "a.xml", source), kZipOpenFailed) << source;
    EXPECT_EQ(ZipWriter::LastResult(), kZipOpenFailed);
    struct stat st {};
    ASSERT_EQ(stat(Target().c_str(), &st), 0);
    EXPECT_EQ(st.st_size, 0) << "nothing is written for the entry";
  }
  EXPECT_EQ(ZipWriter::AddFile(h, "b.xml", Source("b.xml", "bee")), kZipOk);
  EXPECT_EQ(ZipWriter::Close(h), kZipOk);
  const Archive a = ReadArchive(Target());
  ASSERT_EQ(a.entries.size(), 1u);
  EXPECT_EQ(a.entries[0].name, "b.xml");
  EXPECT_EQ(a.entries[0].local, 0u);
}

TEST_F(ZipWriterTest, AnUnreadableSourceFailsItsEntryAndLeavesTheArchiveUsable) {
  // Reading a process's memory at offset 0 fails: the page is never mapped.
  ZipHandle* h = ZipWriter::Create(Target());
  ASSERT_NE(h, nullptr);
  for (const char* entry : {"memory.xml", "memory.zip"})
    EXPECT_EQ(ZipWriter::AddFile(h, entry, "/proc/self/mem"), kZipWriteFailed) << entry;
  const std::string after = fx::Text(5000);
  EXPECT_EQ(ZipWriter::AddFile(h, "after.xml", Source("after.xml", after)), kZipOk);
  EXPECT_EQ(ZipWriter::Close(h), kZipOk);

  const Archive a = ReadArchive(Target());
  ASSERT_EQ(a.entries.size(), 1u);
  EXPECT_EQ(a.entries[0].name, "after.xml");
  EXPECT_EQ(RawInflate(a.entries[0].data), after);
  const auto [status, out] = RunCommand(
      "python3 -c 'import sys, zipfile; print(zipfile.ZipFile(sys.argv[1]).testzip())' '" + Target() + "' 2>&1");
  EXPECT_EQ(status, 0);
  EXPECT_EQ(out, "None\n");
}

TEST_F(ZipWriterTest, RefusesASourceTooLargeForTheFormat) {
  const std::string big = dir_ / "big.bin";
  const int fd = open(big.c_str(), O_CREAT | O_WRONLY, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(ftruncate(fd, 0x100000000), 0);  // 4 GiB, sparse
  close(fd);
  ZipHandle* h = ZipWriter::Create(Target());
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(ZipWriter::AddFile(h, "big.bin", big), kZipWriteFailed);
  EXPECT_EQ(ZipWriter::Close(h), kZipOk);
  EXPECT_EQ(ReadArchive(Target()).bytes.size(), 22u);
}

TEST_F(ZipWriterTest, RefusesAnEntryPastTheEntryCountLimit) {
  const std::string empty = Source("e.zip", "");
  ZipHandle* h = ZipWriter::Create(Target());
  ASSERT_NE(h, nullptr);
  for (int i = 0; i < 65534; ++i) ASSERT_EQ(ZipWriter::AddFile(h, "e.zip", empty), kZipOk) << i;
  EXPECT_EQ(ZipWriter::AddFile(h, "e.zip", empty), kZipWriteFailed);
  EXPECT_EQ(ZipWriter::Close(h), kZipOk);
  std::string bytes;
  ASSERT_TRUE(ORV::OS::ReadFile(Target(), bytes));
  EXPECT_EQ(U16(bytes, bytes.size() - 22 + 10), 65534u);
}

TEST_F(ZipWriterTest, ReportsShortWrites) {
  const std::string text = Source("text.xml", fx::Text(60000));
  const std::string noise = Source("noise.zip", fx::RandomBytes(60000));
  // The layout of the complete archive tells where its parts begin.
  const Archive whole = ReadArchive(Pack({{"text.xml", text}, {"noise.zip", noise}}, "whole.zip"));
  const std::size_t directory = whole.directoryOffset;
  const std::size_t end = whole.bytes.size() - 22;

  struct Case {
    const char* what;
    std::size_t limit;
    std::uint32_t textResult;
    std::uint32_t noiseResult;
  };
  const Case cases[] = {
      {"local header", 20, kZipWriteFailed, kZipWriteFailed},
      {"deflated data", 2000, kZipWriteFailed, kZipWriteFailed},
      {"stored data", whole.entries[1].local + 100, kZipOk, kZipWriteFailed},
      {"central directory", directory + 30, kZipOk, kZipOk},
      {"end record", end + 10, kZipOk, kZipOk},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::uint32_t textResult;
    std::uint32_t noiseResult;
    std::uint32_t closeResult;
    {
      ORV::Test::FileSizeLimit limit(c.limit);
      ZipHandle* h = ZipWriter::Create(Target());
      ASSERT_NE(h, nullptr);
      textResult = ZipWriter::AddFile(h, "text.xml", text);
      noiseResult = ZipWriter::AddFile(h, "noise.zip", noise);
      closeResult = ZipWriter::Close(h);
    }
    EXPECT_EQ(textResult, c.textResult);
    EXPECT_EQ(noiseResult, c.noiseResult);
    EXPECT_EQ(closeResult, kZipWriteFailed);
    EXPECT_EQ(ZipWriter::LastResult(), kZipWriteFailed);
  }
}

}  // namespace
}  // namespace Xlsx
