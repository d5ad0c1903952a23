#pragma once
// A small ordered store of one kind of record in one LMDB environment file.
//
// Markers, actions and the experiment clock's segments live on disk while an
// experiment runs, so that a crash loses nothing and the running backup can
// take them up at the next start. Records are put and read by position; the
// store's order is the order of its key list, which the owner controls through
// the positions it passes. On open the key list is rebuilt from the keys in
// the file, in ascending order.
//
// Files: the environment at `path` (no sub-directory), LMDB's lock file at
// path + "-lock", and a side file path + "-unique" that holds one identity
// record for the store's owner.
//
// Keys are 4-byte integers. Time-keyed kinds (markers, actions) use the
// record's time, or the next free value above it when that key is taken, so
// records that share a time are all kept; the key is the record's identity
// (Keys(), Delete). Position-keyed kinds (clock segments) use the position.
//
// The store has no lock of its own: its owner serialises the calls.
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "core/storage/record_stream.h"

struct MDB_env;
struct MDB_txn;

namespace ORV {

enum class StoreKeying { ByTime, ByPosition };

// The identity record of the "-unique" side file: u32, text, u32.
struct UniqueRecord {
  std::uint32_t first = 0;
  std::string text;
  std::uint32_t second = 0;
  bool operator==(const UniqueRecord&) const = default;
};

// Results of Put and Delete besides LMDB's own codes (0 is success).
inline constexpr int kStoreClosed = -1;
// A position outside the store, or an insertion into a position-keyed store
// anywhere but at its end (the later records would lose their keys).
inline constexpr int kStoreBadPosition = EINVAL;

// The LMDB side of every store, on stored values as bytes.
class LmdbStoreCore {
 public:
  // LMDB settings used on every open.
  static constexpr std::size_t kMapSize = 0x7D000000;
  static constexpr unsigned kFileMode = 0664;

  explicit LmdbStoreCore(StoreKeying keying) : keying_(keying) {}
  ~LmdbStoreCore();
  LmdbStoreCore(const LmdbStoreCore&) = delete;
  LmdbStoreCore& operator=(const LmdbStoreCore&) = delete;

  // The environment's file path (UTF-8), set by the owner before opening.
  void SetPath(std::string path) { path_ = std::move(path); }
  const std::string& Path() const { return path_; }

  // Opens (creating when missing) and rebuilds the key list from the file.
  // True when already open. On failure the store stays closed.
  bool Open();
  // Closes the environment; the files stay unless the store is marked for
  // deletion.
  void Close();
  // Closes, deletes the three files and, when the store was open, opens it
  // again empty.
  void Reset();
  // The next Close (or destruction) also deletes the store's three files, so
  // that the store opens empty again. The mark is cleared by that Close.
  void MarkForDeletion() { deleteOnClose_ = true; }
  bool IsMarkedForDeletion() const { return deleteOnClose_; }

  bool IsOpen() const { return env_ != nullptr; }
  std::size_t Count() const { return keys_.size(); }
  // The key of each record, in the store's order.
  const std::vector<std::uint32_t>& Keys() const { return keys_; }

  // Removes the record stored under `key` in one write transaction, and the
  // key from the list. kStoreClosed, LMDB's code (MDB_NOTFOUND for a key that
  // is not stored), or 0.
  int Delete(std::uint32_t key);

  // The side file: written whole (replacing the previous one atomically);
  // returns the bytes written, 0 on failure.
  std::size_t WriteUnique(const UniqueRecord& record);
  // Reads the side file; a missing one is created empty. Returns the bytes
  // read, 0 (and `record` unchanged) when the file is empty, missing or does
  // not hold a whole record.
  std::size_t ReadUnique(UniqueRecord& record);

 protected:
  // Stores `value` at `position`: inserted before the record there (replace
  // false) or in its place (replace true). `time` is the wanted key of a
  // time-keyed record. Returns 0, kStoreClosed, kStoreBadPosition or LMDB's
  // code; on failure nothing changes.
  int PutValue(std::size_t position, std::uint32_t time, std::span<const std::uint8_t> value, bool replace);
  // Appends every (time, value) in one write transaction: all or none.
  int AppendValues(const std::vector<std::pair<std::uint32_t, std::vector<std::uint8_t>>>& values);
  // The value stored at `position`; false when there is none.
  bool GetValue(std::size_t position, std::vector<std::uint8_t>& value) const;

 private:
  void CloseEnvironment();
  void DeleteFiles() const;
  int PutInTransaction(MDB_txn* txn, std::size_t position, std::uint32_t time, std::span<const std::uint8_t> value,
                       bool replace, std::uint32_t& key);

  const StoreKeying keying_;
  std::vector<std::uint32_t> keys_;
  MDB_env* env_ = nullptr;
  unsigned int dbi_ = 0;
  std::string path_;
  bool deleteOnClose_ = false;
};

// A store of `Record`s. `Codec` says how a record is keyed, written and read:
//   static constexpr StoreKeying kKeying;
//   static std::uint32_t Time(const Record&);                  (ByTime only)
//   static void Write(SerializationStream&, const Record&);
//   static bool Read(std::span<const std::uint8_t> value, Record&);
template <class Record, class Codec>
class LmdbRecordStore : public LmdbStoreCore {
 public:
  LmdbRecordStore() : LmdbStoreCore(Codec::kKeying) {}

  // The record a read returns when there is nothing (valid) to read.
  void SetDefaultRecord(Record record) { defaultRecord_ = std::move(record); }
  const Record& DefaultRecord() const { return defaultRecord_; }

  // Inserts the record at `position` (replace false; the later records move
  // up) or replaces the record there (replace true). 0 on success.
  int Put(std::size_t position, const Record& record, bool replace) {
    VectorSerializationStream bytes;
    Codec::Write(bytes, record);
    std::uint32_t time = 0;
    if constexpr (Codec::kKeying == StoreKeying::ByTime) time = Codec::Time(record);
    return PutValue(position, time, bytes.Bytes(), replace);
  }

  // Appends the records in one write transaction (all or none): much
  // faster than one Put each when a whole list is restored. 0 on success.
  template <class Range>
  int Append(const Range& records) {
    std::vector<std::pair<std::uint32_t, std::vector<std::uint8_t>>> values;
    for (const Record& record : records) {
      VectorSerializationStream bytes;
      Codec::Write(bytes, record);
      std::uint32_t time = 0;
      if constexpr (Codec::kKeying == StoreKeying::ByTime) time = Codec::Time(record);
      const auto& b = bytes.Bytes();
      values.emplace_back(time, std::vector<std::uint8_t>(b.begin(), b.end()));
    }
    return AppendValues(values);
  }

  // The record at `position`, or the default record.
  Record Get(std::size_t position) const {
    std::vector<std::uint8_t> value;
    if (!GetValue(position, value)) return defaultRecord_;
    Record record = defaultRecord_;
    if (!Codec::Read(value, record)) return defaultRecord_;
    return record;
  }

 private:
  Record defaultRecord_{};
};

// Reads the u32 time and the text at the front of a stored value; false
// when the value ends first.
bool ReadTimeAndText(std::istream& in, std::uint32_t& time, std::string& text);

// Stored form of an action: u32 time, text. `Record` has `time` and `text`.
template <class Record>
struct ActionRecordCodec {
  static constexpr StoreKeying kKeying = StoreKeying::ByTime;
  static std::uint32_t Time(const Record& r) { return r.time; }
  static void Write(SerializationStream& out, const Record& r) {
    WriteU32(out, r.time);
    WriteText(out, r.text);
  }
  static bool Read(std::span<const std::uint8_t> value, Record& r) {
    ByteArrayStreamBuf buf(value);
    std::istream in(&buf);
    return ReadTimeAndText(in, r.time, r.text);
  }
};

// Stored form of a marker: u32 time, text, u32 code (the marker's camera).
// `Record` has `text`, `time` and `camera`.
template <class Record>
struct MarkerRecordCodec {
  static constexpr StoreKeying kKeying = StoreKeying::ByTime;
  static std::uint32_t Time(const Record& r) { return r.time; }
  static void Write(SerializationStream& out, const Record& r) {
    ActionRecordCodec<Record>::Write(out, r);
    WriteU32(out, r.camera);
  }
  static bool Read(std::span<const std::uint8_t> value, Record& r) {
    ByteArrayStreamBuf buf(value);
    std::istream in(&buf);
    if (!ReadTimeAndText(in, r.time, r.text) || buf.in_avail() < 4) return false;
    r.camera = ReadU32(in);
    return true;
  }
};

}  // namespace ORV
