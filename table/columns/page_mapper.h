// Maps the pages of a table's columns on a thread of its own, ahead of the
// rows being written: taking fresh memory (the kernel zeroes every page, and
// on a virtual machine each mapping exits to the host) then costs the
// decoding thread nothing where a second core is free.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <thread>
#include <vector>

#include "table/columns/column_buffer.h"

namespace wendrake {

class PageMapper {
 public:
  PageMapper() = default;
  PageMapper(const PageMapper&) = delete;
  PageMapper& operator=(const PageMapper&) = delete;
  // Finishes the ranges handed over and stops the thread.
  ~PageMapper();

  // Hands the ranges over and returns; maps them itself when no thread can
  // be started. The memory must stay where it is until Wait returns.
  void MapAhead(std::vector<PageRange> ranges);

  // Returns once every range handed over is mapped.
  void Wait();

 private:
  void Run();

  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<PageRange> queued_;
  bool busy_ = false;
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace wendrake
