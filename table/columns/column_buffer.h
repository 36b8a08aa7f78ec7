// Storage of one table column: a plain array, with transparent huge pages
// asked for on large blocks and their pages mapped ahead of the writing,
// since a wide table otherwise spends much of its time in page faults.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>
#include <utility>

namespace wendrake {

void AdviseHugePages(void* data, size_t bytes);
void PrefaultPages(void* data, size_t bytes);

// Bytes of a column whose pages are to be mapped.
struct PageRange {
  void* data;
  size_t bytes;
};

inline constexpr size_t kHugePage = size_t{2} << 20;
inline constexpr size_t kSmallPage = 4096;
inline constexpr size_t kHugeThreshold = size_t{1} << 20;

// n rounded up to a multiple of m.
constexpr size_t RoundUp(size_t n, size_t m) { return (n + m - 1) / m * m; }

template <typename T>
class ColumnBuffer {
  static_assert(std::is_trivially_copyable_v<T>);

 public:
  ColumnBuffer() = default;
  ColumnBuffer(const ColumnBuffer&) = delete;
  ColumnBuffer& operator=(const ColumnBuffer&) = delete;
  ColumnBuffer(ColumnBuffer&& other) noexcept { *this = std::move(other); }
  ColumnBuffer& operator=(ColumnBuffer&& other) noexcept {
    if (this != &other) {
      std::free(data_);
      data_ = other.data_;
      size_ = other.size_;
      capacity_ = other.capacity_;
      large_ = other.large_;
      other.data_ = nullptr;
      other.size_ = other.capacity_ = 0;
      other.large_ = false;
    }
    return *this;
  }
  ~ColumnBuffer() { std::free(data_); }

  // Room for at least n elements; throws std::bad_alloc. Blocks of 1 MB
  // and more are held in huge pages: a table's columns are written once from
  // end to end, and page faults would otherwise cost more than the writing.
  void Reserve(size_t n) {
    if (n <= capacity_) return;
    const size_t bytes = n * sizeof(T);
    void* grown = nullptr;
    if (bytes >= kHugeThreshold) {
      // Aligned, so that every whole 2 MB of the block is a huge page; the
      // tail keeps small pages, so a column never holds more than it uses.
      const size_t rounded = RoundUp(bytes, kSmallPage);
      // posix_memalign, not aligned_alloc: the size need not be a multiple
      // of the alignment.
      if (posix_memalign(&grown, kHugePage, rounded) != 0) throw std::bad_alloc();
      AdviseHugePages(grown, rounded);
      large_ = true;
      if (data_ != nullptr) std::memcpy(grown, data_, size_ * sizeof(T));
      std::free(data_);
      n = rounded / sizeof(T);
    } else {
      grown = std::realloc(data_, bytes);
      if (grown == nullptr) throw std::bad_alloc();
    }
    data_ = static_cast<T*>(grown);
    capacity_ = n;
  }

  void push_back(T value) {
    if (size_ == capacity_) Reserve(capacity_ < 1024 ? 1024 : capacity_ * 2);
    data_[size_++] = value;
  }

  // The bytes of elements [from, to) whose pages are worth mapping ahead of
  // writing them (large blocks only; small ones are mostly mapped already).
  template <typename Ranges>
  void PagesOf(size_t from, size_t to, Ranges* ranges) {
    to = to < capacity_ ? to : capacity_;
    if (large_ && from < to) ranges->push_back(PageRange{data_ + from, (to - from) * sizeof(T)});
  }

  // Appends where the caller made sure of the room (capacity()).
  void PushUnchecked(T value) { data_[size_++] = value; }

  // Empties the column, keeping its memory.
  void clear() { size_ = 0; }

  T* data() { return data_; }
  const T* data() const { return data_; }
  size_t size() const { return size_; }
  size_t capacity() const { return capacity_; }
  T& operator[](size_t i) { return data_[i]; }
  const T& operator[](size_t i) const { return data_[i]; }

 private:
  T* data_ = nullptr;
  size_t size_ = 0;
  size_t capacity_ = 0;
  bool large_ = false;  // held in huge pages where whole
};

}  // namespace wendrake
