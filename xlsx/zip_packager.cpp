#include "xlsx/zip_packager.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <ctime>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/os/byte_order.h"
#include "platform/os/file_io.h"
#include "xlsx/deflate.h"

namespace Xlsx {

namespace {

constexpr std::uint16_t kVersionMadeBy = 0x0B17;
constexpr std::uint16_t kVersionNeeded = 20;
constexpr std::uint16_t kMethodStored = 0;
constexpr std::uint16_t kMethodDeflated = 8;
// Bit 3: sizes and CRC follow the data. Set while an entry is written and
// cleared once its local header holds the final values.
constexpr std::uint16_t kFlagDataDescriptor = 0x0008;

constexpr std::size_t kLocalHeaderSize = 30;
constexpr std::size_t kCentralHeaderSize = 46;
constexpr std::size_t kEndRecordSize = 22;
constexpr std::size_t kLocalExtraSize = 17;
constexpr std::size_t kCentralExtraSize = 9;
constexpr std::size_t kCopyBufferSize = 16384;

// 0xFFFFFFFF and 0xFFFF mark values kept in ZIP64 records, which this writer
// does not write, so sizes, offsets and the entry count stay below them.
constexpr std::uint64_t kMaxZipValue = 0xFFFFFFFEu;
constexpr std::size_t kMaxEntries = 0xFFFE;
constexpr std::size_t kMaxNameLength = 0xFFFF;

// Windows file attribute bits kept in the low half of the external attributes.
constexpr std::uint32_t kAttributeReadOnly = 0x01;
constexpr std::uint32_t kAttributeHidden = 0x02;
constexpr std::uint32_t kAttributeArchive = 0x20;
// Unix mode in the high half: regular file, owner read; owner write.
constexpr std::uint32_t kUnixRegularOwnerRead = 0x8100;
constexpr std::uint32_t kUnixOwnerWrite = 0x0080;

std::atomic<std::uint32_t> gLastResult{kZipOk};

std::uint32_t SetLastResult(std::uint32_t result) {
  gLastResult.store(result, std::memory_order_relaxed);
  return result;
}

// ---- CRC-32 (the ZIP polynomial, reflected), eight bytes per step ----------

using CrcTables = std::array<std::array<std::uint32_t, 256>, 8>;

constexpr CrcTables MakeCrcTables() {
  CrcTables t{};
  for (std::uint32_t n = 0; n < 256; ++n) {
    std::uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    t[0][n] = c;
  }
  for (std::size_t n = 0; n < 256; ++n)
    for (std::size_t k = 1; k < 8; ++k) t[k][n] = (t[k - 1][n] >> 8) ^ t[0][t[k - 1][n] & 0xFF];
  return t;
}

constexpr CrcTables kCrcTables = MakeCrcTables();

std::uint32_t Crc32Update(std::uint32_t crc, const std::uint8_t* p, std::size_t n) {
  const auto& t = kCrcTables;
  crc = ~crc;
  for (; n >= 8; p += 8, n -= 8) {
    const std::uint32_t a = ORV::Bytes::GetLE<std::uint32_t>(p) ^ crc;
    const std::uint32_t b = ORV::Bytes::GetLE<std::uint32_t>(p + 4);
    crc = t[7][a & 0xFF] ^ t[6][(a >> 8) & 0xFF] ^ t[5][(a >> 16) & 0xFF] ^ t[4][a >> 24] ^ t[3][b & 0xFF] ^
          t[2][(b >> 8) & 0xFF] ^ t[1][(b >> 16) & 0xFF] ^ t[0][b >> 24];
  }
  for (; n > 0; ++p, --n) crc = t[0][(crc ^ *p) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

}  // namespace

// One entry as it appears in its local and central headers.
struct ZipEntryInfo {
  std::uint16_t versionMadeBy = 0;
  std::uint16_t versionNeeded = 0;
  std::uint16_t flags = 0;
  std::uint16_t method = 0;
  std::uint32_t dosTime = 0;  // time in the low half, date in the high half
  std::uint32_t crc = 0;
  std::uint32_t compressedSize = 0;
  std::uint32_t uncompressedSize = 0;
  std::uint16_t nameLength = 0;
  std::uint16_t localExtraLength = 0;
  std::uint16_t centralExtraLength = 0;
  std::uint16_t commentLength = 0;
  std::uint16_t diskNumber = 0;
  std::uint16_t internalAttributes = 0;
  std::uint16_t localFlags = 0;
  std::uint32_t externalAttributes = 0;
  std::uint32_t localHeaderOffset = 0;
  std::string name;
  std::array<std::uint8_t, kLocalExtraSize> localExtra{};
  std::array<std::uint8_t, kCentralExtraSize> centralExtra{};
};

struct ZipArchiveState {
  int fd = -1;
  bool closeFile = false;
  std::uint32_t startOffset = 0;   // added to every recorded position
  std::uint64_t bytesWritten = 0;  // bytes that reached the file
  std::vector<ZipEntryInfo> entries;
  DeflateStatePtr deflate;

  // The entry being added.
  int sourceFd = -1;
  std::uint64_t bytesRead = 0;
  std::uint32_t crc = 0;
  std::uint64_t compressedSize = 0;
  bool sourceFailed = false;

  std::array<std::uint8_t, kCopyBufferSize> buffer{};

  ~ZipArchiveState() {
    if (sourceFd >= 0) ::close(sourceFd);
    if (closeFile && fd >= 0) ::close(fd);
  }
};

namespace {

// Appends to the archive; false when the write fell short.
bool WriteOut(ZipArchiveState& st, const std::uint8_t* data, std::size_t size) {
  const std::size_t written = ORV::OS::WriteAll(st.fd, data, size);
  st.bytesWritten += written;
  return written == size;
}

bool WriteOut(ZipArchiveState& st, const std::vector<std::uint8_t>& bytes) {
  return WriteOut(st, bytes.data(), bytes.size());
}

// The entry's source reader: keeps the CRC-32 and the byte count. A read
// error, or more input than an entry can hold, ends the input and marks the
// entry as failed, so a truncated entry is never reported as complete.
long ReadSource(ZipArchiveState& st, std::uint8_t* buffer, std::size_t maxBytes) {
  if (st.sourceFailed) return -1;
  ssize_t n;
  do {
    n = ::read(st.sourceFd, buffer, maxBytes);
  } while (n < 0 && errno == EINTR);
  if (n < 0) {
    st.sourceFailed = true;
    return -1;
  }
  st.crc = Crc32Update(st.crc, buffer, static_cast<std::size_t>(n));
  st.bytesRead += static_cast<std::uint64_t>(n);
  if (st.bytesRead > kMaxZipValue) {
    st.sourceFailed = true;
    return -1;
  }
  return static_cast<long>(n);
}

bool IsStoredName(std::string_view name) {
  static constexpr std::string_view kStoredExtensions[] = {".Z", ".zip", ".zoo", ".arc", ".lzh", ".arj", ".gz", ".tgz"};
  const std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return false;
  const std::string_view extension = name.substr(dot);
  for (std::string_view stored : kStoredExtensions)
    if (extension == stored) return true;
  return false;
}

// Seconds since 1970, truncated towards zero.
std::int64_t UnixSeconds(const struct statx_timestamp& t) {
  std::int64_t seconds = t.tv_sec;
  if (seconds < 0 && t.tv_nsec > 0) ++seconds;
  return seconds;
}

// DOS date and time (UTC) of a time in seconds since 1970. The format covers
// 1980 to 2107; times outside are clamped to its ends.
std::uint32_t DosTime(std::int64_t seconds) {
  const std::time_t t = static_cast<std::time_t>(seconds);
  std::tm tm{};
  if (!gmtime_r(&t, &tm)) return (1u << 5 | 1u) << 16;
  const int year = tm.tm_year + 1900;
  if (year < 1980) return (1u << 5 | 1u) << 16;  // 1980-01-01 00:00:00
  if (year > 2107) return (127u << 9 | 12u << 5 | 31u) << 16 | (23u << 11 | 59u << 5 | 29u);
  const auto date =
      static_cast<std::uint32_t>(((year - 1980) & 0x7F) << 9 | ((tm.tm_mon + 1) & 0x0F) << 5 | (tm.tm_mday & 0x1F));
  const auto time = static_cast<std::uint32_t>((tm.tm_hour & 0x1F) << 11 | (tm.tm_min & 0x3F) << 5 | (tm.tm_sec / 2));
  return date << 16 | time;
}

struct SourceFileInfo {
  std::uint64_t size = 0;
  std::uint32_t externalAttributes = 0;
  std::uint32_t dosTime = 0;
  std::int64_t accessTime = 0;
  std::int64_t modificationTime = 0;
  std::int64_t creationTime = 0;
  bool isDirectory = false;
};

// Size, attributes and times of an open source file. Read-only means no
// owner write permission; hidden means a name starting with "."; the archive
// bit is set, as for any newly written file.
std::optional<SourceFileInfo> ReadSourceFileInfo(int fd, const std::string& path) {
  struct statx sx {};
  if (::statx(fd, "", AT_EMPTY_PATH, STATX_BASIC_STATS | STATX_BTIME, &sx) != 0) return std::nullopt;
  SourceFileInfo info;
  info.isDirectory = S_ISDIR(sx.stx_mode);
  info.size = sx.stx_size;
  const bool readOnly = (sx.stx_mode & S_IWUSR) == 0;
  const std::size_t slash = path.rfind('/');
  const bool hidden = path.compare(slash == std::string::npos ? 0 : slash + 1, 1, ".") == 0;
  std::uint32_t low = kAttributeArchive;
  if (readOnly) low |= kAttributeReadOnly;
  if (hidden) low |= kAttributeHidden;
  const std::uint32_t high = kUnixRegularOwnerRead | (readOnly ? 0 : kUnixOwnerWrite);
  info.externalAttributes = high << 16 | low;
  info.accessTime = UnixSeconds(sx.stx_atime);
  info.modificationTime = UnixSeconds(sx.stx_mtime);
  info.creationTime = (sx.stx_mask & STATX_BTIME) ? UnixSeconds(sx.stx_btime) : info.modificationTime;
  info.dosTime = DosTime(sx.stx_mtime.tv_sec);
  return info;
}

// The fields the local and the central header share, in their order: from
// the version needed to the name length.
void PutSharedFields(std::vector<std::uint8_t>& h, const ZipEntryInfo& e, std::uint16_t flags) {
  ORV::Bytes::AppendLE<std::uint16_t>(h, e.versionNeeded);
  ORV::Bytes::AppendLE<std::uint16_t>(h, flags);
  ORV::Bytes::AppendLE<std::uint16_t>(h, e.method);
  ORV::Bytes::AppendLE<std::uint32_t>(h, e.dosTime);
  ORV::Bytes::AppendLE<std::uint32_t>(h, e.crc);
  ORV::Bytes::AppendLE<std::uint32_t>(h, e.compressedSize);
  ORV::Bytes::AppendLE<std::uint32_t>(h, e.uncompressedSize);
  ORV::Bytes::AppendLE<std::uint16_t>(h, e.nameLength);
}

std::vector<std::uint8_t> LocalHeader(const ZipEntryInfo& e) {
  std::vector<std::uint8_t> h;
  h.reserve(kLocalHeaderSize + e.name.size() + e.localExtra.size());
  ORV::Bytes::AppendLE<std::uint32_t>(h, 0x04034B50);
  PutSharedFields(h, e, e.localFlags);
  ORV::Bytes::AppendLE<std::uint16_t>(h, e.localExtraLength);
  h.insert(h.end(), e.name.begin(), e.name.end());
  h.insert(h.end(), e.localExtra.begin(), e.localExtra.end());
  return h;
}

std::vector<std::uint8_t> CentralHeader(const ZipEntryInfo& e) {
  std::vector<std::uint8_t> h;
  h.reserve(kCentralHeaderSize + e.name.size() + e.centralExtra.size());
  ORV::Bytes::AppendLE<std::uint32_t>(h, 0x02014B50);
  ORV::Bytes::AppendLE<std::uint16_t>(h, e.versionMadeBy);
  PutSharedFields(h, e, e.flags);
  ORV::Bytes::AppendLE<std::uint16_t>(h, e.centralExtraLength);
  ORV::Bytes::AppendLE<std::uint16_t>(h, e.commentLength);
  ORV::Bytes::AppendLE<std::uint16_t>(h, e.diskNumber);
  ORV::Bytes::AppendLE<std::uint16_t>(h, e.internalAttributes);
  ORV::Bytes::AppendLE<std::uint32_t>(h, e.externalAttributes);
  ORV::Bytes::AppendLE<std::uint32_t>(h, e.localHeaderOffset);
  h.insert(h.end(), e.name.begin(), e.name.end());
  h.insert(h.end(), e.centralExtra.begin(), e.centralExtra.end());
  return h;
}

// Extended time stamps ("UT"): the local copy holds the modification, access
// and creation times, the central copy the modification time.
void FillExtraFields(ZipEntryInfo& e, const SourceFileInfo& info) {
  e.localExtra = {0x55, 0x54, 13, 0, 0x07};
  ORV::Bytes::PutLE<std::uint32_t>(e.localExtra.data() + 5, static_cast<std::uint32_t>(info.modificationTime));
  ORV::Bytes::PutLE<std::uint32_t>(e.localExtra.data() + 9, static_cast<std::uint32_t>(info.accessTime));
  ORV::Bytes::PutLE<std::uint32_t>(e.localExtra.data() + 13, static_cast<std::uint32_t>(info.creationTime));
  e.centralExtra = {0x55, 0x54, 5, 0, 0x07};
  ORV::Bytes::PutLE<std::uint32_t>(e.centralExtra.data() + 5, static_cast<std::uint32_t>(info.modificationTime));
}

class SourceGuard {
 public:
  explicit SourceGuard(ZipArchiveState& st) : st_(st) {}
  ~SourceGuard() { Close(); }
  void Close() {
    if (st_.sourceFd >= 0) ::close(st_.sourceFd);
    st_.sourceFd = -1;
  }

 private:
  ZipArchiveState& st_;
};

// Writes the entry's data after its local header: copied for a stored
// entry, through the deflate engine otherwise. False when a write fell short,
// the source could not be read or the engine failed.
bool WriteEntryData(ZipArchiveState& st, ZipEntryInfo& e) {
  if (e.method == kMethodStored) {
    for (;;) {
      const long n = ReadSource(st, st.buffer.data(), st.buffer.size());
      if (n <= 0) break;
      if (!WriteOut(st, st.buffer.data(), static_cast<std::size_t>(n))) return false;
      st.compressedSize += static_cast<std::uint64_t>(n);
    }
    return !st.sourceFailed;
  }
  const DeflateReader read = [&st](std::uint8_t* buffer, std::size_t maxBytes) {
    return ReadSource(st, buffer, maxBytes);
  };
  const DeflateFlush flush = [&st](const std::uint8_t* data, std::size_t& count) {
    if (WriteOut(st, data, count)) count = 0;
  };
  const DeflateResult result = DeflateEntry(st.deflate, read, flush, st.buffer, e.flags);
  st.compressedSize = result.compressedSize;
  return !result.failed && !st.sourceFailed;
}

std::uint32_t AddEntry(ZipArchiveState& st, const std::string& entryName, const std::string& sourcePath) {
  if (entryName.empty() || entryName.size() > kMaxNameLength) return kZipBadArgument;
  std::string name = entryName;
  for (char& c : name)
    if (c == '\\') c = '/';
  if (st.entries.size() >= kMaxEntries) return kZipWriteFailed;
  const std::uint16_t method = IsStoredName(name) ? kMethodStored : kMethodDeflated;

  st.sourceFd = ::open(sourcePath.c_str(), O_RDONLY | O_CLOEXEC);
  if (st.sourceFd < 0) return kZipOpenFailed;
  SourceGuard source(st);
  st.crc = 0;
  st.bytesRead = 0;
  st.compressedSize = 0;
  st.sourceFailed = false;

  const std::optional<SourceFileInfo> info = ReadSourceFileInfo(st.sourceFd, sourcePath);
  if (!info || info->isDirectory) return kZipOpenFailed;
  if (info->size > kMaxZipValue) return kZipWriteFailed;

  const std::uint64_t headerOffset = st.startOffset + st.bytesWritten;
  if (headerOffset > kMaxZipValue) return kZipWriteFailed;

  ZipEntryInfo e;
  e.versionMadeBy = kVersionMadeBy;
  e.versionNeeded = kVersionNeeded;
  e.flags = kFlagDataDescriptor;
  e.localFlags = kFlagDataDescriptor;
  e.method = method;
  e.dosTime = info->dosTime;
  e.crc = 0;
  e.compressedSize = method == kMethodStored ? static_cast<std::uint32_t>(info->size) : 0;
  e.uncompressedSize = static_cast<std::uint32_t>(info->size);
  e.name = std::move(name);
  e.nameLength = static_cast<std::uint16_t>(e.name.size());
  e.localExtraLength = kLocalExtraSize;
  e.centralExtraLength = kCentralExtraSize;
  e.externalAttributes = info->externalAttributes;
  e.localHeaderOffset = static_cast<std::uint32_t>(headerOffset);
  FillExtraFields(e, *info);

  if (!WriteOut(st, LocalHeader(e))) return kZipWriteFailed;
  const bool dataWritten = WriteEntryData(st, e);
  source.Close();
  if (!dataWritten) return kZipWriteFailed;
  if (st.compressedSize > kMaxZipValue) return kZipWriteFailed;

  e.crc = st.crc;
  e.compressedSize = static_cast<std::uint32_t>(st.compressedSize);
  e.uncompressedSize = static_cast<std::uint32_t>(st.bytesRead);
  // The local header now gets the final values, so no data descriptor
  // follows: bit 3 goes; bit 1 stays where the engine set it.
  e.flags &= static_cast<std::uint16_t>(~kFlagDataDescriptor);
  e.localFlags = e.flags;
  const std::vector<std::uint8_t> header = LocalHeader(e);
  if (!ORV::OS::WriteAllAt(st.fd, header.data(), header.size(), headerOffset - st.startOffset)) return kZipWriteFailed;

  st.entries.push_back(std::move(e));
  return kZipOk;
}

std::uint32_t WriteCentralDirectory(ZipArchiveState& st) {
  const std::uint64_t directoryOffset = st.startOffset + st.bytesWritten;
  const std::uint64_t directoryStart = st.bytesWritten;
  const std::size_t count = st.entries.size();
  bool failed = directoryOffset > kMaxZipValue;
  for (const ZipEntryInfo& e : st.entries) {
    if (failed) break;
    if (!WriteOut(st, CentralHeader(e))) failed = true;
  }
  st.entries.clear();
  const std::uint64_t directorySize = st.bytesWritten - directoryStart;
  if (failed || directorySize > kMaxZipValue) return kZipWriteFailed;

  std::vector<std::uint8_t> end;
  end.reserve(kEndRecordSize);
  ORV::Bytes::AppendLE<std::uint32_t>(end, 0x06054B50);
  ORV::Bytes::AppendLE<std::uint16_t>(end, 0);
  ORV::Bytes::AppendLE<std::uint16_t>(end, 0);
  ORV::Bytes::AppendLE<std::uint16_t>(end, static_cast<std::uint32_t>(count));
  ORV::Bytes::AppendLE<std::uint16_t>(end, static_cast<std::uint32_t>(count));
  ORV::Bytes::AppendLE<std::uint32_t>(end, static_cast<std::uint32_t>(directorySize));
  ORV::Bytes::AppendLE<std::uint32_t>(end, static_cast<std::uint32_t>(directoryOffset));
  ORV::Bytes::AppendLE<std::uint16_t>(end, 0);
  return WriteOut(st, end) ? kZipOk : kZipWriteFailed;
}

}  // namespace

ZipHandle* ZipWriter::Create(const std::string& fileName) {
  const int fd = ::open(fileName.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) {
    SetLastResult(kZipOpenFailed);
    return nullptr;
  }
  auto* state = new ZipArchiveState;
  state->fd = fd;
  state->closeFile = true;
  SetLastResult(kZipOk);
  return new ZipHandle{kZipWriterMode, state};
}

std::uint32_t ZipWriter::AddFile(ZipHandle* handle, const std::string& entryName, const std::string& sourcePath) {
  if (!handle) return SetLastResult(kZipBadArgument);
  if (handle->mode != kZipWriterMode || !handle->state) return SetLastResult(kZipNotWriter);
  return SetLastResult(AddEntry(*handle->state, entryName, sourcePath));
}

std::uint32_t ZipWriter::Close(ZipHandle* handle) {
  if (!handle) return SetLastResult(kZipBadArgument);
  if (handle->mode != kZipWriterMode || !handle->state) return SetLastResult(kZipNotWriter);
  ZipArchiveState* st = handle->state;
  std::uint32_t result = WriteCentralDirectory(*st);
  // A file system may report a failed write only when the file is closed.
  if (st->closeFile && st->fd >= 0 && ::close(st->fd) != 0) result = kZipWriteFailed;
  st->fd = -1;
  delete st;
  delete handle;
  return SetLastResult(result);
}

std::uint32_t ZipWriter::LastResult() { return gLastResult.load(std::memory_order_relaxed); }

}  // namespace Xlsx
