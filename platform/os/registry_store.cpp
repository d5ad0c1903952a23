#include "platform/os/registry_store.h"

#include <zlib.h>

#include <atomic>
#include <ctime>
#include <filesystem>
#include <map>
#include <utility>

#include "platform/os/byte_order.h"
#include "platform/os/folders.h"
#include "platform/os/text.h"

namespace ORV::OS {

namespace {

struct NoCaseLess {
  bool operator()(const std::string& a, const std::string& b) const { return CompareNoCase(a, b) < 0; }
};

constexpr char kMagic[8] = {'O', 'R', 'V', 'R', 'E', 'G', '\x01', '\x00'};
constexpr int kMaxDepth = 512;

std::vector<std::string> SplitPath(std::string_view path) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find('\\', start);
    if (end == std::string_view::npos) end = path.size();
    if (end > start) parts.emplace_back(path.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

template <typename T>
void PutLE(std::string& out, T v) {
  std::uint8_t b[sizeof(T)];
  Bytes::PutLE<T>(b, v);
  out.append(reinterpret_cast<const char*>(b), sizeof b);
}
template <typename T>
T GetLE(std::string_view d, std::size_t at) {
  return Bytes::GetLE<T>(reinterpret_cast<const std::uint8_t*>(d.data() + at));
}
void PutBytes(std::string& out, std::string_view s) {
  PutLE<std::uint32_t>(out, static_cast<std::uint32_t>(s.size()));
  out.append(s);
}

class Reader {
 public:
  explicit Reader(std::string_view d) : d_(d) {}
  bool U32(std::uint32_t& v) {
    if (d_.size() - pos_ < 4) return false;
    v = GetLE<std::uint32_t>(d_, pos_);
    pos_ += 4;
    return true;
  }
  bool U64(std::uint64_t& v) {
    if (d_.size() - pos_ < 8) return false;
    v = GetLE<std::uint64_t>(d_, pos_);
    pos_ += 8;
    return true;
  }
  bool Bytes(std::string& s) {
    std::uint32_t n = 0;
    if (!U32(n) || d_.size() - pos_ < n) return false;
    s.assign(d_.substr(pos_, n));
    pos_ += n;
    return true;
  }
  std::size_t Left() const { return d_.size() - pos_; }

 private:
  std::string_view d_;
  std::size_t pos_ = 0;
};

std::atomic<RegistryStore*> g_userOverride{nullptr};

}  // namespace

struct RegistryStore::Key {
  std::string name;
  std::vector<std::pair<std::string, RegValue>> values;
  std::map<std::string, std::unique_ptr<Key>, NoCaseLess> subkeys;

  RegValue* FindValue(std::string_view n) {
    for (auto& [k, v] : values)
      if (EqualsNoCase(k, n)) return &v;
    return nullptr;
  }

  void Write(std::string& out) const {
    PutBytes(out, name);
    PutLE<std::uint32_t>(out, static_cast<std::uint32_t>(values.size()));
    for (const auto& [n, v] : values) {
      PutBytes(out, n);
      PutLE<std::uint32_t>(out, static_cast<std::uint32_t>(v.type));
      switch (v.type) {
        case RegType::String:
        case RegType::ExpandString:
          PutBytes(out, v.text);
          break;
        case RegType::MultiString:
          PutLE<std::uint32_t>(out, static_cast<std::uint32_t>(v.texts.size()));
          for (const auto& t : v.texts) PutBytes(out, t);
          break;
        case RegType::Dword:
          PutLE<std::uint32_t>(out, static_cast<std::uint32_t>(v.number));
          break;
        case RegType::Qword:
          PutLE<std::uint64_t>(out, v.number);
          break;
        case RegType::Binary:
          PutBytes(out, std::string_view(reinterpret_cast<const char*>(v.bytes.data()), v.bytes.size()));
          break;
      }
    }
    PutLE<std::uint32_t>(out, static_cast<std::uint32_t>(subkeys.size()));
    for (const auto& [n, k] : subkeys) k->Write(out);
  }

  bool Read(Reader& r, int depth) {
    if (depth > kMaxDepth || !r.Bytes(name)) return false;
    std::uint32_t nv = 0;
    if (!r.U32(nv) || nv > r.Left() / 8) return false;
    for (std::uint32_t i = 0; i < nv; ++i) {
      std::string n;
      std::uint32_t t = 0;
      if (!r.Bytes(n) || !r.U32(t)) return false;
      RegValue v;
      v.type = static_cast<RegType>(t);
      switch (v.type) {
        case RegType::String:
        case RegType::ExpandString:
          if (!r.Bytes(v.text)) return false;
          break;
        case RegType::MultiString: {
          std::uint32_t c = 0;
          if (!r.U32(c) || c > r.Left() / 4) return false;
          v.texts.resize(c);
          for (auto& s : v.texts)
            if (!r.Bytes(s)) return false;
          break;
        }
        case RegType::Dword: {
          std::uint32_t d = 0;
          if (!r.U32(d)) return false;
          v.number = d;
          break;
        }
        case RegType::Qword:
          if (!r.U64(v.number)) return false;
          break;
        case RegType::Binary: {
          std::string b;
          if (!r.Bytes(b)) return false;
          v.bytes.assign(b.begin(), b.end());
          break;
        }
        default:
          return false;
      }
      values.emplace_back(std::move(n), std::move(v));
    }
    std::uint32_t nk = 0;
    if (!r.U32(nk) || nk > r.Left() / 12) return false;
    for (std::uint32_t i = 0; i < nk; ++i) {
      auto k = std::make_unique<Key>();
      if (!k->Read(r, depth + 1)) return false;
      std::string kn = k->name;
      subkeys[kn] = std::move(k);
    }
    return true;
  }
};

RegValue RegValue::MakeString(std::string s, RegType t) {
  RegValue v;
  v.type = t;
  v.text = std::move(s);
  return v;
}
RegValue RegValue::MakeMulti(std::vector<std::string> s) {
  RegValue v;
  v.type = RegType::MultiString;
  v.texts = std::move(s);
  return v;
}
RegValue RegValue::MakeDword(std::uint32_t d) {
  RegValue v;
  v.type = RegType::Dword;
  v.number = d;
  return v;
}
RegValue RegValue::MakeQword(std::uint64_t d) {
  RegValue v;
  v.type = RegType::Qword;
  v.number = d;
  return v;
}
RegValue RegValue::MakeBinary(std::vector<std::uint8_t> b) {
  RegValue v;
  v.type = RegType::Binary;
  v.bytes = std::move(b);
  return v;
}

RegistryStore::RegistryStore() : root_(std::make_unique<Key>()) {}

RegistryStore::RegistryStore(std::string file) : root_(std::make_unique<Key>()), file_(std::move(file)) { Load(); }

RegistryStore::~RegistryStore() = default;

RegistryStore& RegistryStore::User() {
  if (RegistryStore* o = g_userOverride.load()) return *o;
  static RegistryStore store([] {
    EnsureDir(MakerConfigDir(), 0700);
    return MakerConfigDir() + "/registry.dat";
  }());
  return store;
}

void RegistryStore::SetUserStoreForTesting(RegistryStore* store) { g_userOverride.store(store); }

bool RegistryStore::Load() {
  std::string data;
  if (!PathExists(file_)) return true;
  bool ok = ReadFile(file_, data, 256ull << 20);
  if (ok) {
    ok = data.size() >= sizeof kMagic + 4 &&
         std::string_view(data.data(), sizeof kMagic) == std::string_view(kMagic, sizeof kMagic);
  }
  if (ok) {
    const std::size_t body = data.size() - 4;
    const auto stored = GetLE<std::uint32_t>(data, body);
    const auto crc =
        static_cast<std::uint32_t>(crc32(0L, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(body)));
    ok = crc == stored;
    if (ok) {
      Reader r(std::string_view(data).substr(sizeof kMagic, body - sizeof kMagic));
      auto root = std::make_unique<Key>();
      ok = root->Read(r, 0) && r.Left() == 0;
      if (ok) root_ = std::move(root);
    }
  }
  if (!ok) {
    // Never overwrite an earlier damaged file: a second one found in the
    // same second gets a numbered name.
    const std::string stem = file_ + ".damaged-" + std::to_string(static_cast<long long>(std::time(nullptr)));
    std::string aside = stem;
    for (int n = 1; PathExists(aside) && n < 1000; ++n) aside = stem + "-" + std::to_string(n);
    std::error_code ec;
    std::filesystem::rename(file_, aside, ec);
    // When it cannot be moved, keep a copy of what could be read, so the next
    // write does not destroy the only copy.
    const bool kept = !ec || (!data.empty() && !PathExists(aside) && AtomicWriteFile(aside, data));
    damageReport_ = kept ? "The settings file '" + file_ + "' is damaged; it was kept as '" + aside +
                               "' and the default settings are used."
                         : "The settings file '" + file_ + "' is damaged and could not be kept aside (" + ec.message() +
                               "); the default settings are used.";
    root_ = std::make_unique<Key>();
  }
  return ok;
}

std::string RegistryStore::Serialize() const {
  std::lock_guard lock(mutex_);
  std::string out(kMagic, sizeof kMagic);
  root_->Write(out);
  const auto crc =
      static_cast<std::uint32_t>(crc32(0L, reinterpret_cast<const Bytef*>(out.data()), static_cast<uInt>(out.size())));
  PutLE<std::uint32_t>(out, crc);
  return out;
}

bool RegistryStore::Flush() {
  std::lock_guard lock(mutex_);
  if (file_.empty()) {
    dirty_ = false;
    return true;
  }
  const std::filesystem::path p(file_);
  if (p.has_parent_path()) EnsureDir(p.parent_path().string(), 0700);
  if (!AtomicWriteFile(file_, Serialize())) return false;
  dirty_ = false;
  return true;
}

bool RegistryStore::ChangedLocked() {
  dirty_ = true;
  if (batchDepth_ > 0) return true;
  return Flush();
}

std::string RegistryStore::TakeDamageReport() {
  std::lock_guard lock(mutex_);
  return std::exchange(damageReport_, std::string());
}

RegistryStore::Key* RegistryStore::Find(std::string_view path) const {
  Key* k = root_.get();
  for (const auto& part : SplitPath(path)) {
    auto it = k->subkeys.find(part);
    if (it == k->subkeys.end()) return nullptr;
    k = it->second.get();
  }
  return k;
}

RegistryStore::Key* RegistryStore::FindOrCreate(std::string_view path) {
  Key* k = root_.get();
  for (const auto& part : SplitPath(path)) {
    auto it = k->subkeys.find(part);
    if (it == k->subkeys.end()) {
      auto nk = std::make_unique<Key>();
      nk->name = part;
      it = k->subkeys.emplace(part, std::move(nk)).first;
    }
    k = it->second.get();
  }
  return k;
}

bool RegistryStore::CreateKey(std::string_view path) {
  std::lock_guard lock(mutex_);
  if (SplitPath(path).empty()) return false;
  if (Find(path)) return true;
  FindOrCreate(path);
  return ChangedLocked();
}

bool RegistryStore::KeyExists(std::string_view path) const {
  std::lock_guard lock(mutex_);
  return Find(path) != nullptr;
}

bool RegistryStore::DeleteTree(std::string_view path) {
  std::lock_guard lock(mutex_);
  auto parts = SplitPath(path);
  if (parts.empty()) return false;
  const std::string last = parts.back();
  parts.pop_back();
  Key* parent = root_.get();
  for (const auto& part : parts) {
    auto it = parent->subkeys.find(part);
    if (it == parent->subkeys.end()) return false;
    parent = it->second.get();
  }
  if (parent->subkeys.erase(last) == 0) return false;
  return ChangedLocked();
}

std::optional<RegValue> RegistryStore::GetValue(std::string_view path, std::string_view name) const {
  std::lock_guard lock(mutex_);
  Key* k = Find(path);
  if (!k) return std::nullopt;
  if (RegValue* v = k->FindValue(name)) return *v;
  return std::nullopt;
}

bool RegistryStore::SetValue(std::string_view path, std::string_view name, const RegValue& value) {
  std::lock_guard lock(mutex_);
  if (SplitPath(path).empty()) return false;
  Key* k = FindOrCreate(path);
  if (RegValue* v = k->FindValue(name)) {
    if (*v == value) return true;
    *v = value;
  } else {
    k->values.emplace_back(std::string(name), value);
  }
  return ChangedLocked();
}

bool RegistryStore::DeleteValue(std::string_view path, std::string_view name) {
  std::lock_guard lock(mutex_);
  Key* k = Find(path);
  if (!k) return false;
  for (auto it = k->values.begin(); it != k->values.end(); ++it) {
    if (EqualsNoCase(it->first, name)) {
      k->values.erase(it);
      return ChangedLocked();
    }
  }
  return false;
}

std::vector<std::string> RegistryStore::SubKeyNames(std::string_view path) const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> out;
  if (Key* k = Find(path))
    for (const auto& [n, sub] : k->subkeys) out.push_back(sub->name);
  return out;
}

std::vector<std::string> RegistryStore::ValueNames(std::string_view path) const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> out;
  if (Key* k = Find(path))
    for (const auto& [n, v] : k->values) out.push_back(n);
  return out;
}

std::uint32_t RegistryStore::GetDword(std::string_view path, std::string_view name, std::uint32_t def) const {
  auto v = GetValue(path, name);
  if (!v || v->type != RegType::Dword) return def;
  return static_cast<std::uint32_t>(v->number);
}

std::string RegistryStore::GetString(std::string_view path, std::string_view name, std::string_view def) const {
  auto v = GetValue(path, name);
  if (!v || (v->type != RegType::String && v->type != RegType::ExpandString)) return std::string(def);
  return v->text;
}

RegistryStore::Batch::Batch(RegistryStore& s) : store_(s) {
  std::lock_guard lock(store_.mutex_);
  ++store_.batchDepth_;
}

RegistryStore::Batch::~Batch() {
  std::lock_guard lock(store_.mutex_);
  if (--store_.batchDepth_ == 0 && store_.dirty_) store_.Flush();
}

}  // namespace ORV::OS
