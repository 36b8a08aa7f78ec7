#include "table/columns/page_mapper.h"

#include <system_error>

namespace wendrake {

PageMapper::~PageMapper() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void PageMapper::MapAhead(std::vector<PageRange> ranges) {
  if (ranges.empty()) return;
  if (!thread_.joinable()) {
    try {
      thread_ = std::thread([this] { Run(); });
    } catch (const std::system_error&) {
      for (const PageRange& range : ranges) PrefaultPages(range.data, range.bytes);
      return;
    }
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    queued_.insert(queued_.end(), ranges.begin(), ranges.end());
  }
  changed_.notify_all();
}

void PageMapper::Wait() {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return queued_.empty() && !busy_; });
}

void PageMapper::Run() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return stopping_ || !queued_.empty(); });
    if (queued_.empty()) return;  // stopping, nothing left
    std::vector<PageRange> ranges;
    ranges.swap(queued_);
    busy_ = true;
    lock.unlock();
    for (const PageRange& range : ranges) PrefaultPages(range.data, range.bytes);
    lock.lock();
    busy_ = false;
    changed_.notify_all();
  }
}

}  // namespace wendrake
