#pragma once
// The settings archive container (".orvsettings").
//
// Three layers, outermost first:
//   1. the archive file: a 16-byte random IV, then AES-256/CBC with PKCS#7
//      padding (one fixed key) of layer 2;
//   2. one gzip stream (level 9, no file name) of layer 3;
//   3. the pack: the magic "ORV" 00 01 02 03 04, then entries back to back,
//      each {u8 type, u16 name length, UTF-8 name, u64 size, data}, all
//      numbers little-endian, no count, no trailer.
//
// Every step streams through files in a private working folder. An entry's
// file lives in the working folder under <type folder>/<name>, so entries of
// different types never share a file and no entry can meet an intermediate
// file of the pipeline.
#include <cstdint>
#include <istream>
#include <string>
#include <string_view>
#include <vector>

#include "core/storage/record_stream.h"

namespace ORV {

enum class SettingsEntryType : std::uint32_t {
  Workspace = 1,      // "Workspace.xml": the registry sections
  CustomScripts = 2,  // a custom-trace script or the index "Scripts.xml"
  OpenViews = 3,      // "Tarvix.xml": the open windows
};

bool IsSettingsEntryType(std::uint32_t type);
// "Workspace", "CustomScripts" or "Tarvix": the type's name in the export's
// manifest, and the folder of its entries in the working folder.
const char* SettingsEntryTypeText(SettingsEntryType type);

struct SettingsArchiveEntry {
  SettingsArchiveEntry() = default;
  SettingsArchiveEntry(SettingsEntryType t, std::string n) : type(t), name(std::move(n)) {}

  SettingsEntryType type = SettingsEntryType::Workspace;
  std::string name;        // bare file name, UTF-8
  std::uint64_t size = 0;  // data size (filled when unpacking)
};

// Result codes of the export and import (0 success, negative failure).
inline constexpr int kSettingsOk = 0;
inline constexpr int kImportNoWorkingFolder = -1;
inline constexpr int kExportNoWorkingFolder = -2;
inline constexpr int kExportWorkspaceNotWritten = -3;
// "Tarvix.xml" not written, or an entry's file could not be packed.
inline constexpr int kExportEntryNotWritten = -4;
// The archive can't be read or does not decrypt (length, padding, key).
inline constexpr int kImportUnreadable = -5;
// The decrypted data is not a complete gzip stream or unpacks too large.
inline constexpr int kImportNotDecompressed = -6;
// The data is not a pack, or holds no entry that can be applied.
inline constexpr int kImportNoValidEntry = -7;
inline constexpr int kExportPackNotWritten = -8;
inline constexpr int kExportNotCompressed = -9;
inline constexpr int kExportNotEncrypted = -10;
inline constexpr int kExportDestinationNotWritten = -11;
// The archive was sound and the caller declined to apply it.
inline constexpr int kImportDeclined = -12;

// The fixed key of every archive, as 64 hexadecimal digits.
inline constexpr std::string_view kSettingsArchiveKeyHex =
    "6b750f3941d004895a421b7eb41d6e3de40f07ac94ba74a3c821cc4e7fb2ebe2";

inline constexpr std::uint8_t kSettingsPackMagic[8] = {0x4F, 0x52, 0x56, 0x00, 0x01, 0x02, 0x03, 0x04};

// Names of the intermediate files in the working folder.
inline constexpr const char* kPackFileName = "TMPArchive";
inline constexpr const char* kCompressedFileName = "GZipFile.gz";
inline constexpr const char* kEncryptedFileName = "EncFile";
inline constexpr const char* kDecryptedFileName = "DecryptedFile.gz";
inline constexpr const char* kUnpackedFileName = "Unpacked";

// Bounds on what an import unpacks (an archive may come from anyone).
// An archive file larger than this is no settings archive (the pack inside
// is limited to as much, and compression only makes it smaller).
inline constexpr std::uint64_t kMaxSettingsArchiveBytes = 256ull << 20;

struct UnpackLimits {
  std::uint64_t maxTotalBytes = 256ull << 20;  // the whole decompressed pack
  std::uint64_t maxEntryBytes = 16ull << 20;   // one entry's data
  std::size_t maxEntries = 4096;
};

// A name that can only address a file directly inside a folder: not empty,
// not "." or "..", at most 255 bytes, without "/", "\" or NUL.
bool IsBareFileName(std::string_view name);

// The folder of the working folder that holds entries of this type.
std::string SettingsEntryFolder(const std::string& workingFolder, SettingsEntryType type);
// Where the entry's file lives in the working folder.
std::string SettingsEntryPath(const std::string& workingFolder, const SettingsArchiveEntry& entry);

// A text field of the pack: the UTF-8 byte count as u16, then the bytes.
// A text longer than 32767 bytes would read back as a negative count, so it
// is refused: nothing is written and the result is false.
bool WriteLengthPrefixedUtf8(SerializationStream& out, std::string_view utf8);
// Reads a little-endian signed 16-bit count; below 1 the text is empty and
// nothing more is read, otherwise that many bytes, taken as UTF-8 (malformed
// sequences become U+FFFD). False when the stream ends inside the field.
bool ReadLengthPrefixedUtf8(std::istream& in, std::string& text);

// The entry's header: type byte, name, size. False when the name is refused.
bool WriteSettingsEntryHeader(SerializationStream& out, const SettingsArchiveEntry& entry, std::uint64_t size);

// Export steps. Each leaves its output complete or reports failure.
//
// Writes the pack: the magic, then every entry's file from the working
// folder in list order (a missing file is created empty and packed with size
// 0). kExportPackNotWritten when the pack can't be written,
// kExportEntryNotWritten when an entry's file can't be read.
int PackSettingsEntries(const std::string& workingFolder, const std::vector<SettingsArchiveEntry>& entries,
                        const std::string& packPath);
// gzip at level 9 of the whole file.
bool CompressSettingsFile(const std::string& source, const std::string& gzipPath);
// A fresh random IV, then AES-256/CBC of the whole file.
bool EncryptSettingsFile(const std::string& source, const std::string& archivePath);
// Copies the file to `destination` through a temporary file in the
// destination's folder that is flushed and then renamed over it, so an
// existing file is replaced only by a complete one.
bool ReplaceFileFrom(const std::string& source, const std::string& destination);

// Import steps.
//
// kImportUnreadable when the archive can't be read, is not 16 + 16 × n bytes
// (n ≥ 1) long, or does not decrypt.
int DecryptSettingsFile(const std::string& archivePath, const std::string& gzipPath);
// Decompresses (data that is not gzip passes through unchanged). A damaged or
// cut gzip stream, or more than maxBytes of output: kImportNotDecompressed.
int DecompressSettingsFile(const std::string& gzipPath, const std::string& packPath, std::uint64_t maxBytes);
// Reads the pack and writes every acceptable entry's file into the working
// folder, appending the entry to `entries`. Ends at the end of the data, at a
// type other than 1-3, at an empty name, or at an entry cut short (whose file
// is removed), or at the entry count limit. Entries whose name is not a bare
// file name, that repeat an earlier type and name, or whose size exceeds the
// entry or total limit are skipped and logged. kImportNoValidEntry when the
// data does not begin with the magic.
int UnpackSettingsPack(std::istream& in, const std::string& workingFolder, std::vector<SettingsArchiveEntry>& entries,
                       const UnpackLimits& limits = {});

}  // namespace ORV
