#pragma once
// Records shared by every object of the spreadsheet writer: the text held in
// both encodings, the shared-string table, and the registry of the part files
// that make up the package while it is being built.
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace Xlsx {

// One text held as UTF-8 and as UTF-16. Parts are written from the UTF-8
// form, which also decides whether the text counts as empty.
struct XlsxTextRecord {
  XlsxTextRecord() = default;
  explicit XlsxTextRecord(std::string_view utf8Text);
  explicit XlsxTextRecord(std::u16string_view wideText);
  bool IsEmpty() const { return utf8.empty(); }

  std::string utf8;
  std::u16string wide;
};

// Each distinct UTF-8 cell text and the 0-based index it received when it was
// first used; indices follow the order of first use, so the size of the
// table is the next index.
using SharedStringTable = std::map<std::string, std::uint64_t, std::less<>>;

// The private temporary folder in which every part of the package is written
// as a file (the part name appended to the folder) before the package is
// packed, and the list of what was put there.
class TempFileRegistry {
 public:
  TempFileRegistry() = default;
  // Removes whatever is still registered.
  ~TempFileRegistry();
  TempFileRegistry(const TempFileRegistry&) = delete;
  TempFileRegistry& operator=(const TempFileRegistry&) = delete;

  // Registers a part ("/xl/styles.xml") and returns the path of its file.
  // The first registration makes the private root folder (mode 0700, under
  // $TMPDIR or /tmp); every missing folder on the way is created and
  // recorded. Returns an empty path, and registers nothing, when the name is
  // not a plain part name or the root folder cannot be made.
  std::string RegisterPartFile(std::string_view partName);

  // Deletes every registered file, then every recorded folder, last made
  // first. A folder that still holds something else stays. Both lists are
  // empty afterwards; the next registration makes a new root folder.
  void RemoveAll();

  // The root folder; empty until the first registration.
  const std::string& Root() const { return root_; }
  // Full paths of the folders made, in creation order (the root first).
  const std::vector<std::string>& Folders() const { return folders_; }
  // Registered part names, in registration order (the order of the package).
  const std::vector<std::string>& Files() const { return files_; }

 private:
  std::string root_;
  std::vector<std::string> folders_;
  std::vector<std::string> files_;
};

}  // namespace Xlsx
