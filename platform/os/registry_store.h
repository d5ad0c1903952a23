#pragma once
// The per-user settings store that stands in for the system registry.
//
// Keys form a tree addressed by "\"-separated paths whose first component is
// the hive ("HKEY_CURRENT_USER\Software\Orvanta\Tarvix 5\Settings").
// Key and value names compare case-insensitively (ASCII) and keep the case
// they were created with. Sub-keys enumerate in case-insensitive name order;
// values in the order they were first set.
//
// The whole tree lives in one file, rewritten atomically (temporary file,
// fsync, rename) after every change, or once at the end of a Batch. A file
// that cannot be read back (bad magic, bad checksum, truncated) is renamed
// aside to "<file>.damaged-<seconds>" (with "-<n>" added when that name is
// taken) and the store starts empty; TakeDamageReport() then says so once.
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ORV::OS {

// Numbers as the system registry uses them.
enum class RegType : std::uint32_t {
  String = 1,        // REG_SZ
  ExpandString = 2,  // REG_EXPAND_SZ
  Binary = 3,        // REG_BINARY
  Dword = 4,         // REG_DWORD
  MultiString = 7,   // REG_MULTI_SZ
  Qword = 11,        // REG_QWORD
};

struct RegValue {
  RegType type = RegType::String;
  std::string text;                 // String, ExpandString (UTF-8)
  std::vector<std::string> texts;   // MultiString
  std::uint64_t number = 0;         // Dword (low 32 bits), Qword
  std::vector<std::uint8_t> bytes;  // Binary

  static RegValue MakeString(std::string s, RegType t = RegType::String);
  static RegValue MakeMulti(std::vector<std::string> v);
  static RegValue MakeDword(std::uint32_t v);
  static RegValue MakeQword(std::uint64_t v);
  static RegValue MakeBinary(std::vector<std::uint8_t> v);
  bool operator==(const RegValue&) const = default;
};

inline constexpr const char* kCurrentUser = "HKEY_CURRENT_USER";
inline constexpr const char* kClassesRoot = "HKEY_CLASSES_ROOT";

class RegistryStore {
 public:
  // An in-memory store that is never written (tests).
  RegistryStore();
  // The store kept in `file` (loaded now; written on every change).
  explicit RegistryStore(std::string file);
  ~RegistryStore();
  RegistryStore(const RegistryStore&) = delete;
  RegistryStore& operator=(const RegistryStore&) = delete;

  // The user's store, "$XDG_CONFIG_HOME/Orvanta/registry.dat", opened on
  // first use. A test may replace it (nullptr restores the file store).
  static RegistryStore& User();
  static void SetUserStoreForTesting(RegistryStore* store);

  bool CreateKey(std::string_view path);
  bool KeyExists(std::string_view path) const;
  // Deletes the key with its values and every key below it. Missing: false.
  bool DeleteTree(std::string_view path);

  std::optional<RegValue> GetValue(std::string_view path, std::string_view name) const;
  // Creates the key when needed.
  bool SetValue(std::string_view path, std::string_view name, const RegValue& value);
  bool DeleteValue(std::string_view path, std::string_view name);

  std::vector<std::string> SubKeyNames(std::string_view path) const;
  std::vector<std::string> ValueNames(std::string_view path) const;

  // Convenience accessors with defaults (a value of another type counts as missing).
  std::uint32_t GetDword(std::string_view path, std::string_view name, std::uint32_t def) const;
  std::string GetString(std::string_view path, std::string_view name, std::string_view def) const;

  // Defers writing the file until the outermost Batch ends.
  class Batch {
   public:
    explicit Batch(RegistryStore& s);
    ~Batch();
    Batch(const Batch&) = delete;
    Batch& operator=(const Batch&) = delete;

   private:
    RegistryStore& store_;
  };

  // Writes the file now; false when it could not be written.
  bool Flush();
  const std::string& File() const { return file_; }
  // A message when the file was found damaged and set aside; empty otherwise
  // and on every later call.
  std::string TakeDamageReport();

  // Byte form of the whole tree (also what the file holds).
  std::string Serialize() const;

 private:
  struct Key;
  Key* Find(std::string_view path) const;
  Key* FindOrCreate(std::string_view path);
  bool Load();
  bool ChangedLocked();

  mutable std::recursive_mutex mutex_;
  std::unique_ptr<Key> root_;
  std::string file_;
  int batchDepth_ = 0;
  bool dirty_ = false;
  std::string damageReport_;
};

}  // namespace ORV::OS
