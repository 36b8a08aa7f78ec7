// Counts per key with a bounded number of keys: once `limit` keys are held,
// further new keys are counted together as one "other" row, so a log full
// of distinct garbage cannot make a summary grow without end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>

namespace wendrake_cli {

template <typename Key>
class CappedCounts {
 public:
  explicit CappedCounts(size_t limit) : limit_(limit) {}

  // Adds one to `key`; true when the key is counted on a row of its own
  // and seen for the first time.
  // `key` may be anything the key compares with (a string_view for a
  // string), so counting a known key makes no copy.
  template <typename Like>
  bool Add(const Like& key) {
    const auto found = counts_.find(key);
    if (found != counts_.end()) {
      ++found->second;
      return false;
    }
    if (counts_.size() >= limit_) {
      ++others_;
      return false;
    }
    counts_.emplace(Key(key), 1);
    return true;
  }

  const std::map<Key, uint64_t, std::less<>>& rows() const { return counts_; }
  uint64_t others() const { return others_; }

 private:
  size_t limit_;
  std::map<Key, uint64_t, std::less<>> counts_;
  uint64_t others_ = 0;
};

}  // namespace wendrake_cli
