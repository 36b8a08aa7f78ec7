// Decoding throughput through the exported functions, against two floors
// measured on the same bytes in the same run, slice by slice:
//  - copy floor: one whole-item copy (52,479 bytes) per item into a ring of
//    200 nodes, what a decoder that copies every item whole cannot beat;
//  - parse floor: splitting into lines and TAB fields and converting every
//    field with strtod, the least work any decoder of this format does.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/alloc_counter.h"
#include "bench/log_generator.h"
#include "bench/timing.h"
#include "wendrake/wendrake.h"

namespace {

using wendrake_bench::Clock;
using wendrake_bench::Median;
using wendrake_bench::Seconds;

constexpr int kMaxLinesPerCall = 200;
constexpr int kRuns = 5;

// Chunk boundaries of at most 200 lines, so the 200-item queue never
// overflows.
std::vector<size_t> ChunkEnds(const std::string& log, size_t* lines) {
  std::vector<size_t> ends;
  int inChunk = 0;
  *lines = 0;
  for (size_t i = 0; i < log.size(); ++i) {
    if (log[i] != '\n') continue;
    ++*lines;
    if (++inChunk == kMaxLinesPerCall) {
      ends.push_back(i + 1);
      inChunk = 0;
    }
  }
  if (ends.empty() || ends.back() != log.size()) ends.push_back(log.size());
  return ends;
}

// Each run walks the log in slices; on every slice the decoder, the copy
// floor and the parse floor take turns, so all three see the machine in the
// same state even when its speed drifts (as it does on shared machines).
constexpr int kSlices = 32;

// The copy floor's ring and source item, allocated once.
class CopyFloor {
 public:
  CopyFloor() : ring_(kRingSize) {
    for (ReportItem*& node : ring_) node = static_cast<ReportItem*>(std::calloc(1, sizeof(ReportItem)));
    source_ = static_cast<ReportItem*>(std::calloc(1, sizeof(ReportItem)));
  }
  ~CopyFloor() {
    for (ReportItem* node : ring_) std::free(node);
    std::free(source_);
  }
  CopyFloor(const CopyFloor&) = delete;
  CopyFloor& operator=(const CopyFloor&) = delete;

  // Seconds to copy `items` whole items into the ring.
  double Time(uint64_t items) {
    const Clock::time_point start = Clock::now();
    for (uint64_t i = 0; i < items; ++i) {
      source_->msgCode = static_cast<uint32_t>(i);
      std::memcpy(ring_[next_], source_, sizeof(ReportItem));
      next_ = (next_ + 1) % kRingSize;
    }
    const double seconds = Seconds(start);
    for (ReportItem* node : ring_) sum_ += node->msgCode;
    return seconds;
  }

  uint64_t sum() const { return sum_; }  // keeps the copies

 private:
  static constexpr size_t kRingSize = 200;
  std::vector<ReportItem*> ring_;
  ReportItem* source_;
  size_t next_ = 0;
  uint64_t sum_ = 0;
};

// Seconds to split [p, end) into lines and TAB fields and convert every
// field with strtod.
double ParseFloor(const char* p, const char* end, double* sum) {
  const Clock::time_point start = Clock::now();
  while (p < end) {
    const char* lineEnd = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
    if (lineEnd == nullptr) lineEnd = end;
    while (p < lineEnd) {
      const char* tab = static_cast<const char*>(std::memchr(p, '\t', static_cast<size_t>(lineEnd - p)));
      if (tab == nullptr) tab = lineEnd;
      *sum += std::strtod(p, nullptr);
      p = tab + 1;
    }
    p = lineEnd + 1;
  }
  return Seconds(start);
}

struct Run {
  double decodeSeconds = 0, copySeconds = 0, parseSeconds = 0;
  uint64_t items = 0;
  uint64_t allocations = 0;  // while decoding
  int64_t objectBytes = 0;   // heap held by the object after creation
  int64_t peakBytes = 0;     // heap peak above the start while decoding
};

// One pass over the log through the exported functions with the host cycle:
// at most 200 lines per DecodeMsgProc, then the count, every item read, and
// the clear. With `floors`, each slice is followed by both floors on the
// same items and bytes.
Run MeasureRun(const std::string& log, const std::vector<size_t>& ends, CopyFloor* copyFloor, bool floors) {
  Run run;
  const wendrake_bench::HeapStats before = wendrake_bench::Heap();
  wendrake_bench::ResetPeak();
  DecoderObject* decoder = CreateDecoderObjectProc(WENDRAKE_MODULE_B101);
  run.objectBytes = wendrake_bench::Heap().liveBytes - before.liveBytes;

  uint64_t checksum = 0;
  double parseSum = 0;
  size_t begin = 0, chunk = 0;
  for (int slice = 1; slice <= kSlices; ++slice) {
    const size_t lastChunk = ends.size() * static_cast<size_t>(slice) / kSlices;
    const size_t sliceBegin = begin;
    uint64_t sliceItems = 0;
    const uint64_t allocationsBefore = wendrake_bench::Heap().allocations;
    const Clock::time_point start = Clock::now();
    for (; chunk < lastChunk; ++chunk) {
      DecodeMsgProc(decoder, log.data() + begin, static_cast<int>(ends[chunk] - begin));
      const int n = GetReportItemCountProc(decoder);
      for (int i = 0; i < n; ++i) checksum += GetReportItemProc(decoder, i)->msgCode;
      ClearReportItemsProc(decoder);
      sliceItems += static_cast<uint64_t>(n);
      begin = ends[chunk];
    }
    run.decodeSeconds += Seconds(start);
    run.allocations += wendrake_bench::Heap().allocations - allocationsBefore;
    run.items += sliceItems;
    if (floors) {
      run.copySeconds += copyFloor->Time(sliceItems);
      run.parseSeconds += ParseFloor(log.data() + sliceBegin, log.data() + begin, &parseSum);
    }
  }
  run.peakBytes = wendrake_bench::Heap().peakBytes - before.liveBytes;
  FreeDecoderObjectProc(&decoder);
  if (checksum == 1 || parseSum == 0.123) std::puts("");  // keeps the reads
  return run;
}

}  // namespace

int main(int argc, char** argv) {
  // Usage: wendrake_bench [MEGABYTES] [decode]; "decode" skips the floors
  // (for profiling the decoder alone).
  const size_t megabytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 64;
  const bool decodeOnly = argc > 2 && std::strcmp(argv[2], "decode") == 0;
  const std::string log = wendrake_bench::GenerateLog(megabytes << 20);
  size_t lines = 0;
  const std::vector<size_t> ends = ChunkEnds(log, &lines);
  const double mb = static_cast<double>(log.size()) / (1 << 20);

  CopyFloor copyFloor;
  std::vector<double> decodeTimes, copyTimes, parseTimes, copyRatios, parseRatios;
  Run run;
  for (int r = 0; r < kRuns; ++r) {
    run = MeasureRun(log, ends, &copyFloor, !decodeOnly);
    decodeTimes.push_back(run.decodeSeconds);
    copyTimes.push_back(run.copySeconds);
    parseTimes.push_back(run.parseSeconds);
    // Ratios are taken run by run, then their median.
    copyRatios.push_back(run.copySeconds / run.decodeSeconds);
    parseRatios.push_back(run.parseSeconds / run.decodeSeconds);
  }
  const double decode = Median(decodeTimes), copy = Median(copyTimes), parse = Median(parseTimes);
  const double items = static_cast<double>(run.items);

  std::printf("log: %.1f MB, %zu lines, %.0f items (median of %d runs)\n\n", mb, lines, items, kRuns);
  std::printf("%-28s %12s %14s %14s\n", "", "MB/s", "lines/s", "items/s");
  std::printf("%-28s %12.1f %14.0f %14.0f\n", "decode (host cycle)", mb / decode, lines / decode,
              items / decode);
  if (!decodeOnly) {
    std::printf("%-28s %12s %14s %14.0f\n", "copy floor (whole items)", "", "", items / copy);
    std::printf("%-28s %12.1f %14.0f %14s\n", "parse floor (split+strtod)", mb / parse, lines / parse, "");
    std::printf("\nitems/s vs copy floor:  %.2fx  (goal >= 5; runs %.2fx .. %.2fx)\n", Median(copyRatios),
                *std::min_element(copyRatios.begin(), copyRatios.end()),
                *std::max_element(copyRatios.begin(), copyRatios.end()));
    std::printf("MB/s vs parse floor:    %.2fx  (goal >= 0.5; runs %.2fx .. %.2fx)\n", Median(parseRatios),
                *std::min_element(parseRatios.begin(), parseRatios.end()),
                *std::max_element(parseRatios.begin(), parseRatios.end()));
  }
  std::printf("heap per object:        %.2f MB after creation, peak %.2f MB while decoding\n",
              run.objectBytes / 1048576.0, run.peakBytes / 1048576.0);
  std::printf("heap allocations:       %.4f per line while decoding (%llu in all)\n",
              static_cast<double>(run.allocations) / static_cast<double>(lines),
              static_cast<unsigned long long>(run.allocations));
  return 0;
}
