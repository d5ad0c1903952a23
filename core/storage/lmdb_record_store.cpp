#include "core/storage/lmdb_record_store.h"

#include <fcntl.h>
#include <lmdb.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "core/base/event_log.h"
#include "platform/os/folders.h"

namespace ORV {

namespace {

// Largest "-unique" side file that is read (it holds one short record).
constexpr std::uint64_t kMaxUniqueFileSize = 1 << 20;

MDB_val KeyValue(std::uint32_t& key) { return MDB_val{sizeof key, &key}; }

void LogOpenFailure(const std::string& path, int rc) {
  LogError("LmdbRecordStore::Open() - Unable to open the record store '" + path + "': " + mdb_strerror(rc));
}

}  // namespace

bool ReadTimeAndText(std::istream& in, std::uint32_t& time, std::string& text) {
  std::uint32_t value32 = 0;
  std::string value;
  if (!ReadLE(in, value32) || !ReadText(in, value)) return false;
  time = value32;
  text = std::move(value);
  return true;
}

LmdbStoreCore::~LmdbStoreCore() { Close(); }

bool LmdbStoreCore::Open() {
  if (env_ != nullptr) return true;
  keys_.clear();
  if (path_.empty()) return false;

  MDB_env* env = nullptr;
  int rc = mdb_env_create(&env);
  if (rc != 0) {
    LogOpenFailure(path_, rc);
    return false;
  }
  // MDB_NOTLS: the owner may call the store from different threads (one at a
  // time, under its own lock), so read transactions are not tied to a thread.
  if ((rc = mdb_env_set_maxdbs(env, 1)) != 0 || (rc = mdb_env_set_mapsize(env, kMapSize)) != 0 ||
      (rc = mdb_env_open(env, path_.c_str(), MDB_NOSUBDIR | MDB_NOTLS, kFileMode)) != 0) {
    mdb_env_close(env);
    LogOpenFailure(path_, rc);
    return false;
  }

  // Open the unnamed database with integer keys and rebuild the key list from
  // the keys it holds, in ascending order.
  MDB_txn* txn = nullptr;
  MDB_dbi dbi = 0;
  MDB_cursor* cursor = nullptr;
  std::vector<std::uint32_t> keys;
  rc = mdb_txn_begin(env, nullptr, 0, &txn);
  if (rc == 0) rc = mdb_dbi_open(txn, nullptr, MDB_INTEGERKEY, &dbi);
  if (rc == 0) rc = mdb_cursor_open(txn, dbi, &cursor);
  if (rc == 0) {
    MDB_val key{};
    MDB_val data{};
    while ((rc = mdb_cursor_get(cursor, &key, &data, MDB_NEXT)) == 0) {
      if (key.mv_size != sizeof(std::uint32_t)) continue;  // not one of ours
      std::uint32_t k = 0;
      std::memcpy(&k, key.mv_data, sizeof k);
      keys.push_back(k);
    }
    mdb_cursor_close(cursor);
    if (rc == MDB_NOTFOUND)
      rc = mdb_txn_commit(txn);
    else
      mdb_txn_abort(txn);
  } else if (txn != nullptr) {
    mdb_txn_abort(txn);
  }
  if (rc != 0) {
    mdb_env_close(env);
    LogOpenFailure(path_, rc);
    return false;
  }
  env_ = env;
  dbi_ = dbi;
  keys_ = std::move(keys);
  return true;
}

void LmdbStoreCore::CloseEnvironment() {
  if (env_ == nullptr) return;
  mdb_dbi_close(env_, dbi_);
  mdb_env_close(env_);
  env_ = nullptr;
  dbi_ = 0;
}

void LmdbStoreCore::DeleteFiles() const {
  std::error_code ignored;
  std::filesystem::remove(path_, ignored);
  std::filesystem::remove(path_ + "-lock", ignored);
  std::filesystem::remove(path_ + "-unique", ignored);
}

void LmdbStoreCore::Close() {
  CloseEnvironment();
  keys_.clear();
  if (deleteOnClose_) {
    deleteOnClose_ = false;
    if (!path_.empty()) DeleteFiles();
  }
}

void LmdbStoreCore::Reset() {
  const bool wasOpen = IsOpen();
  CloseEnvironment();
  keys_.clear();
  deleteOnClose_ = false;
  if (!path_.empty()) DeleteFiles();
  if (wasOpen) Open();
}

int LmdbStoreCore::PutInTransaction(MDB_txn* txn, std::size_t position, std::uint32_t time,
                                    std::span<const std::uint8_t> value, bool replace, std::uint32_t& key) {
  const std::size_t count = keys_.size();
  MDB_val data{value.size(), const_cast<std::uint8_t*>(value.data())};
  int rc = 0;
  if (keying_ == StoreKeying::ByPosition) {
    // The position: one above the last key (equal to the position in every
    // store this program wrote), or the key of the record replaced.
    key = replace ? keys_[position] : (count == 0 ? 0 : keys_.back() + 1);
    MDB_val k = KeyValue(key);
    return mdb_put(txn, dbi_, &k, &data, 0);
  }
  if (replace) {
    // The replaced record's value goes, so it cannot come back on reopen.
    std::uint32_t old = keys_[position];
    MDB_val k = KeyValue(old);
    rc = mdb_del(txn, dbi_, &k, nullptr);
    if (rc == MDB_NOTFOUND) rc = 0;
  }
  // The record's time, or the next free key above it.
  key = time;
  while (rc == 0) {
    MDB_val k = KeyValue(key);
    data =
        MDB_val{value.size(), const_cast<std::uint8_t*>(value.data())};  // a refused put points it at the stored value
    rc = mdb_put(txn, dbi_, &k, &data, MDB_NOOVERWRITE);
    if (rc != MDB_KEYEXIST) break;
    rc = 0;
    ++key;
    if (key == time) rc = MDB_MAP_FULL;  // every key taken
  }
  return rc;
}

int LmdbStoreCore::PutValue(std::size_t position, std::uint32_t time, std::span<const std::uint8_t> value,
                            bool replace) {
  if (env_ == nullptr) return kStoreClosed;
  const std::size_t count = keys_.size();
  if (replace ? position >= count : position > count) return kStoreBadPosition;
  if (keying_ == StoreKeying::ByPosition && !replace && position != count) return kStoreBadPosition;

  MDB_txn* txn = nullptr;
  int rc = mdb_txn_begin(env_, nullptr, 0, &txn);
  if (rc != 0) return rc;
  std::uint32_t key = 0;
  rc = PutInTransaction(txn, position, time, value, replace, key);
  if (rc != 0) {
    mdb_txn_abort(txn);
    return rc;
  }
  rc = mdb_txn_commit(txn);
  if (rc != 0) return rc;
  if (replace)
    keys_[position] = key;
  else
    keys_.insert(keys_.begin() + static_cast<std::ptrdiff_t>(position), key);
  return 0;
}

int LmdbStoreCore::AppendValues(const std::vector<std::pair<std::uint32_t, std::vector<std::uint8_t>>>& values) {
  if (env_ == nullptr) return kStoreClosed;
  if (values.empty()) return 0;
  MDB_txn* txn = nullptr;
  int rc = mdb_txn_begin(env_, nullptr, 0, &txn);
  if (rc != 0) return rc;
  const std::size_t before = keys_.size();
  for (const auto& [time, bytes] : values) {
    std::uint32_t key = 0;
    rc = PutInTransaction(txn, keys_.size(), time, bytes, false, key);
    if (rc != 0) break;
    keys_.push_back(key);
  }
  if (rc == 0)
    rc = mdb_txn_commit(txn);
  else
    mdb_txn_abort(txn);
  if (rc != 0) keys_.resize(before);  // nothing was stored
  return rc;
}

bool LmdbStoreCore::GetValue(std::size_t position, std::vector<std::uint8_t>& value) const {
  if (env_ == nullptr || position >= keys_.size()) return false;
  MDB_txn* txn = nullptr;
  if (mdb_txn_begin(env_, nullptr, MDB_RDONLY, &txn) != 0) return false;
  std::uint32_t key = keys_[position];
  MDB_val k = KeyValue(key);
  MDB_val data{};
  const bool found = mdb_get(txn, dbi_, &k, &data) == 0;
  if (found) {
    const auto* p = static_cast<const std::uint8_t*>(data.mv_data);
    value.assign(p, p + data.mv_size);
  }
  mdb_txn_abort(txn);
  return found;
}

int LmdbStoreCore::Delete(std::uint32_t key) {
  if (env_ == nullptr) return kStoreClosed;
  MDB_txn* txn = nullptr;
  int rc = mdb_txn_begin(env_, nullptr, 0, &txn);
  if (rc != 0) return rc;
  MDB_val k = KeyValue(key);
  rc = mdb_del(txn, dbi_, &k, nullptr);
  if (rc != 0) {
    mdb_txn_abort(txn);
    return rc;
  }
  rc = mdb_txn_commit(txn);
  if (rc != 0) return rc;
  const auto it = std::find(keys_.begin(), keys_.end(), key);
  if (it != keys_.end()) keys_.erase(it);
  return 0;
}

std::size_t LmdbStoreCore::WriteUnique(const UniqueRecord& record) {
  if (path_.empty()) return 0;
  VectorSerializationStream bytes;
  WriteU32(bytes, record.first);
  WriteText(bytes, record.text);
  WriteU32(bytes, record.second);
  return OS::AtomicWriteFile(path_ + "-unique", bytes.Bytes()) ? bytes.Size() : 0;
}

std::size_t LmdbStoreCore::ReadUnique(UniqueRecord& record) {
  if (path_.empty()) return 0;
  const std::string file = path_ + "-unique";
  const int fd = ::open(file.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0664);
  if (fd < 0) return 0;
  ::close(fd);
  std::string content;
  if (!OS::ReadFile(file, content, kMaxUniqueFileSize)) return 0;
  ByteArrayStreamBuf buf(content.data(), content.size());
  std::istream in(&buf);
  UniqueRecord read;
  if (!ReadTimeAndText(in, read.first, read.text) || buf.in_avail() < 4) return 0;
  read.second = ReadU32(in);
  record = std::move(read);
  return content.size();
}

}  // namespace ORV
