#pragma once
// A list of records that only grows at its end, for the long lists of an
// experiment (zone, pressure, flow, microscope and analysis records).
//
// Records live in blocks that never move: small blocks that double in size
// while the list is short, then blocks of OS::kLargeBlockBytes. Appending
// never copies what is already there, indexing is constant time, and an
// eight-hour experiment costs a few hundred allocations instead of one per
// handful of records.
#include <algorithm>
#include <bit>
#include <cstddef>
#include <iterator>
#include <new>
#include <stdexcept>
#include <utility>
#include <vector>

#include "platform/os/large_block.h"

namespace ORV {

template <class T>
class RecordList {
  static_assert(sizeof(T) <= 4096, "records are small");
  static constexpr std::size_t kFirst = 16;
  static constexpr std::size_t kLarge = OS::kLargeBlockBytes / sizeof(T);
  // Number of doubling blocks before the large ones, and the records they hold.
  static constexpr std::size_t kRampBlocks = [] {
    std::size_t n = 0;
    while ((kFirst << n) < kLarge) ++n;
    return n;
  }();
  static constexpr std::size_t kRampRecords = kFirst * ((std::size_t{1} << kRampBlocks) - 1);

  template <bool Const>
  class Iter {
    using List = std::conditional_t<Const, const RecordList, RecordList>;

   public:
    using iterator_category = std::random_access_iterator_tag;
    using value_type = T;
    using difference_type = std::ptrdiff_t;
    using pointer = std::conditional_t<Const, const T*, T*>;
    using reference = std::conditional_t<Const, const T&, T&>;

    Iter() = default;
    Iter(List* list, std::size_t index) : list_(list), index_(index) {}
    operator Iter<true>() const { return {list_, index_}; }

    reference operator*() const { return (*list_)[index_]; }
    pointer operator->() const { return &(*list_)[index_]; }
    reference operator[](difference_type n) const { return (*list_)[index_ + n]; }
    Iter& operator++() { return ++index_, *this; }
    Iter operator++(int) { return {list_, index_++}; }
    Iter& operator--() { return --index_, *this; }
    Iter operator--(int) { return {list_, index_--}; }
    Iter& operator+=(difference_type n) { return index_ += n, *this; }
    Iter& operator-=(difference_type n) { return index_ -= n, *this; }
    friend Iter operator+(Iter it, difference_type n) { return it += n; }
    friend Iter operator+(difference_type n, Iter it) { return it += n; }
    friend Iter operator-(Iter it, difference_type n) { return it -= n; }
    friend difference_type operator-(const Iter& a, const Iter& b) {
      return static_cast<difference_type>(a.index_) - static_cast<difference_type>(b.index_);
    }
    friend bool operator==(const Iter& a, const Iter& b) { return a.index_ == b.index_; }
    friend auto operator<=>(const Iter& a, const Iter& b) { return a.index_ <=> b.index_; }

   private:
    List* list_ = nullptr;
    std::size_t index_ = 0;
  };

 public:
  using value_type = T;
  using size_type = std::size_t;
  using difference_type = std::ptrdiff_t;
  using reference = T&;
  using const_reference = const T&;
  using iterator = Iter<false>;
  using const_iterator = Iter<true>;

  RecordList() = default;
  RecordList(std::initializer_list<T> records) { assign(records.begin(), records.end()); }
  RecordList(const RecordList& other) { append(other.begin(), other.end()); }
  RecordList(RecordList&& other) noexcept { swap(other); }
  RecordList& operator=(const RecordList& other) {
    if (this != &other) assign(other.begin(), other.end());
    return *this;
  }
  RecordList& operator=(RecordList&& other) noexcept {
    RecordList(std::move(other)).swap(*this);
    return *this;
  }
  ~RecordList() { clear(); }

  void swap(RecordList& other) noexcept {
    blocks_.swap(other.blocks_);
    std::swap(size_, other.size_);
  }

  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  // The memory its blocks take, filled or not: what the list costs.
  std::size_t BlockBytes() const {
    std::size_t bytes = 0;
    for (std::size_t k = 0; k < blocks_.size(); ++k)
      bytes += k < kRampBlocks ? Capacity(k) * sizeof(T) : OS::kLargeBlockBytes;
    return bytes;
  }

  T& operator[](std::size_t i) { return Locate(i); }
  const T& operator[](std::size_t i) const { return const_cast<RecordList*>(this)->Locate(i); }
  T& at(std::size_t i) { return i < size_ ? Locate(i) : throw std::out_of_range("RecordList::at"); }
  const T& at(std::size_t i) const { return const_cast<RecordList*>(this)->at(i); }
  T& front() { return Locate(0); }
  const T& front() const { return (*this)[0]; }
  T& back() { return Locate(size_ - 1); }
  const T& back() const { return (*this)[size_ - 1]; }

  iterator begin() { return {this, 0}; }
  iterator end() { return {this, size_}; }
  const_iterator begin() const { return {this, 0}; }
  const_iterator end() const { return {this, size_}; }
  const_iterator cbegin() const { return begin(); }
  const_iterator cend() const { return end(); }

  template <class... Args>
  T& emplace_back(Args&&... args) {
    T* slot = NextSlot();
    ::new (static_cast<void*>(slot)) T(std::forward<Args>(args)...);
    ++size_;
    return *slot;
  }
  void push_back(const T& record) { emplace_back(record); }
  void push_back(T&& record) { emplace_back(std::move(record)); }

  // Appends a range; only the end is a place to insert at.
  template <class It>
  iterator insert(const_iterator at, It first, It last) {
    if (at != end()) throw std::logic_error("RecordList: insert only at the end");
    const std::size_t from = size_;
    append(first, last);
    return {this, from};
  }

  template <class It>
  void assign(It first, It last) {
    clear();
    append(first, last);
  }

  void pop_back() {
    back().~T();
    --size_;
  }

  // Removes every record and frees every block.
  void clear() {
    for (std::size_t i = 0; i < size_; ++i) Locate(i).~T();
    for (std::size_t k = 0; k < blocks_.size(); ++k) Free(k, blocks_[k]);
    blocks_.clear();
    size_ = 0;
  }

  friend bool operator==(const RecordList& a, const RecordList& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin());
  }

 private:
  static std::size_t Capacity(std::size_t block) { return block < kRampBlocks ? kFirst << block : kLarge; }

  // Block and position of record i.
  static std::pair<std::size_t, std::size_t> Place(std::size_t i) {
    if (i < kRampRecords) {
      const std::size_t block = std::bit_width(i / kFirst + 1) - 1;
      return {block, i - kFirst * ((std::size_t{1} << block) - 1)};
    }
    const std::size_t rest = i - kRampRecords;
    return {kRampBlocks + rest / kLarge, rest % kLarge};
  }

  T& Locate(std::size_t i) {
    const auto [block, offset] = Place(i);
    return blocks_[block][offset];
  }

  T* NextSlot() {
    const auto [block, offset] = Place(size_);
    if (block == blocks_.size()) {
      blocks_.reserve(blocks_.size() + 1);
      blocks_.push_back(Allocate(block));
    }
    return blocks_[block] + offset;
  }

  static T* Allocate(std::size_t block) {
    if (block >= kRampBlocks) return static_cast<T*>(OS::AllocateLargeBlock());
    return static_cast<T*>(::operator new (Capacity(block) * sizeof(T), std::align_val_t{alignof(T)}));
  }
  static void Free(std::size_t block, T* data) noexcept {
    if (block >= kRampBlocks)
      OS::FreeLargeBlock(data);
    else
      ::operator delete (data, std::align_val_t{alignof(T)});
  }

  template <class It>
  void append(It first, It last) {
    for (; first != last; ++first) emplace_back(*first);
  }

  std::vector<T*> blocks_;
  std::size_t size_ = 0;
};

}  // namespace ORV
