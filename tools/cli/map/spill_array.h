// Records appended in order and read back by index, mostly in order: the
// newest chunk in memory, the older ones in an unlinked temporary file and
// read back a chunk at a time. The map keeps a few records per GPS fix (the
// route's vertices, the spatial index's runs) for the layers written after
// the items; in a file, its memory stays flat however long the drive.
#pragma once

#include <cerrno>
#include <cstdint>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace wendrake_cli {

class SpillFile {
 public:
  SpillFile() = default;
  ~SpillFile();
  SpillFile(const SpillFile&) = delete;
  SpillFile& operator=(const SpillFile&) = delete;

  // Appends `bytes`; false (errno set) when the file cannot be made or written.
  bool Append(const void* data, size_t bytes);
  // Reads `bytes` at `offset`; false (errno set) when it cannot.
  bool Read(uint64_t offset, void* data, size_t bytes) const;

 private:
  bool Open();

  int fd_ = -1;
};

template <typename T>
class SpillArray {
  static_assert(std::is_trivially_copyable_v<T>, "records are written to the file byte for byte");

 public:
  static constexpr size_t kChunk = 16384;

  // Appends; after a failed write the array holds what it held and
  // failed() is true, error() the system's error number.
  void push_back(const T& record) {
    if (tail_.size() == kChunk) {
      if (failed_ || !file_.Append(tail_.data(), kChunk * sizeof(T))) {
        Fail();
        return;
      }
      ++spilled_;
      tail_.clear();
    }
    tail_.push_back(record);
  }
  bool failed() const { return failed_; }
  int error() const { return error_; }

  size_t size() const { return spilled_ * kChunk + tail_.size(); }
  bool empty() const { return size() == 0; }
  T& back() { return tail_.back(); }
  const T& back() const { return tail_.back(); }

  // Record `index` < size(), valid until the next call. The two chunks read
  // last are kept, so that reading two places a while apart does not read
  // a chunk again and again; a chunk that cannot be read gives zeroed
  // records and failed().
  const T& operator[](size_t index) const {
    const size_t chunk = index / kChunk;
    if (chunk == spilled_) return tail_[index % kChunk];
    if (cache_[0].chunk != chunk) {
      std::swap(cache_[0], cache_[1]);  // the one read last stays
      if (cache_[0].chunk != chunk) Load(chunk, &cache_[0]);
    }
    return cache_[0].records[index % kChunk];
  }

 private:
  struct Cached {
    size_t chunk = SIZE_MAX;
    std::vector<T> records;
  };
  void Load(size_t chunk, Cached* into) const {
    into->records.resize(kChunk);
    into->chunk = chunk;
    if (!file_.Read(static_cast<uint64_t>(chunk) * kChunk * sizeof(T), into->records.data(), kChunk * sizeof(T))) {
      into->records.assign(kChunk, T{});
      Fail();
    }
  }
  void Fail() const {
    if (!failed_) error_ = errno;
    failed_ = true;
  }

  SpillFile file_;
  size_t spilled_ = 0;
  std::vector<T> tail_;
  mutable Cached cache_[2];
  mutable bool failed_ = false;
  mutable int error_ = 0;
};

}  // namespace wendrake_cli
