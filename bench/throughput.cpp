// Decoding throughput through the exported functions, against two floors
// measured on the same bytes in the same run:
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
#include "wendrake/wendrake.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kMaxLinesPerCall = 200;
constexpr int kRuns = 5;

double Seconds(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

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

struct DecodeRun {
  double seconds;
  uint64_t items;
  uint64_t allocations;
  int64_t objectBytes;  // heap held by the object after creation
  int64_t peakBytes;    // heap peak above the start while decoding
};

DecodeRun Decode(const std::string& log, const std::vector<size_t>& ends) {
  const wendrake_bench::HeapStats before = wendrake_bench::Heap();
  wendrake_bench::ResetPeak();
  DecoderObject* decoder = CreateDecoderObjectProc(WENDRAKE_MODULE_B101);
  const int64_t objectBytes = wendrake_bench::Heap().liveBytes - before.liveBytes;
  const uint64_t allocationsBefore = wendrake_bench::Heap().allocations;

  uint64_t items = 0, checksum = 0;
  size_t begin = 0;
  const Clock::time_point start = Clock::now();
  for (size_t end : ends) {
    DecodeMsgProc(decoder, log.data() + begin, static_cast<int>(end - begin));
    const int n = GetReportItemCountProc(decoder);
    for (int i = 0; i < n; ++i) checksum += GetReportItemProc(decoder, i)->msgCode;
    ClearReportItemsProc(decoder);
    items += static_cast<uint64_t>(n);
    begin = end;
  }
  const double seconds = Seconds(start);
  const wendrake_bench::HeapStats after = wendrake_bench::Heap();
  FreeDecoderObjectProc(&decoder);
  if (checksum == 1) std::puts("");  // keeps the reads
  return DecodeRun{seconds, items, after.allocations - allocationsBefore, objectBytes,
                   after.peakBytes - before.liveBytes};
}

double CopyFloor(uint64_t items) {
  std::vector<ReportItem*> ring(200);
  for (ReportItem*& node : ring) node = static_cast<ReportItem*>(std::calloc(1, sizeof(ReportItem)));
  ReportItem* source = static_cast<ReportItem*>(std::calloc(1, sizeof(ReportItem)));
  const Clock::time_point start = Clock::now();
  for (uint64_t i = 0; i < items; ++i) {
    source->msgCode = static_cast<uint32_t>(i);
    std::memcpy(ring[i % 200], source, sizeof(ReportItem));
  }
  const double seconds = Seconds(start);
  uint64_t sum = 0;
  for (ReportItem* node : ring) sum += node->msgCode;
  for (ReportItem* node : ring) std::free(node);
  std::free(source);
  if (sum == 1) std::puts("");
  return seconds;
}

double ParseFloor(const std::string& log) {
  const char* p = log.c_str();
  const char* end = p + log.size();
  double sum = 0;
  const Clock::time_point start = Clock::now();
  while (p < end) {
    const char* lineEnd = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
    if (lineEnd == nullptr) lineEnd = end;
    while (p < lineEnd) {
      const char* tab = static_cast<const char*>(std::memchr(p, '\t', static_cast<size_t>(lineEnd - p)));
      if (tab == nullptr) tab = lineEnd;
      sum += std::strtod(p, nullptr);
      p = tab + 1;
    }
    p = lineEnd + 1;
  }
  const double seconds = Seconds(start);
  if (sum == 0.123) std::puts("");
  return seconds;
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

  std::vector<double> decodeTimes, copyTimes, parseTimes;
  DecodeRun run{};
  for (int r = 0; r < kRuns; ++r) {
    run = Decode(log, ends);
    decodeTimes.push_back(run.seconds);
    copyTimes.push_back(decodeOnly ? 1 : CopyFloor(run.items));
    parseTimes.push_back(decodeOnly ? 1 : ParseFloor(log));
  }
  const double decode = Median(decodeTimes), copy = Median(copyTimes), parse = Median(parseTimes);
  const double items = static_cast<double>(run.items);

  std::printf("log: %.1f MB, %zu lines, %.0f items (median of %d runs)\n\n", mb, lines, items, kRuns);
  std::printf("%-28s %12s %14s %14s\n", "", "MB/s", "lines/s", "items/s");
  std::printf("%-28s %12.1f %14.0f %14.0f\n", "decode (host cycle)", mb / decode, lines / decode,
              items / decode);
  std::printf("%-28s %12s %14s %14.0f\n", "copy floor (whole items)", "", "", items / copy);
  std::printf("%-28s %12.1f %14.0f %14s\n", "parse floor (split+strtod)", mb / parse, lines / parse, "");
  // Ratios are taken run by run (decode and floors measured back to back)
  // and then their median, so a machine whose speed drifts between runs
  // does not skew them.
  std::vector<double> copyRatios, parseRatios;
  for (int r = 0; r < kRuns; ++r) {
    copyRatios.push_back(copyTimes[r] / decodeTimes[r]);
    parseRatios.push_back(parseTimes[r] / decodeTimes[r]);
  }
  std::printf("\nitems/s vs copy floor:  %.2fx  (goal >= 5)\n", Median(copyRatios));
  std::printf("MB/s vs parse floor:    %.2fx  (goal >= 0.5)\n", Median(parseRatios));
  std::printf("heap per object:        %.2f MB after creation, peak %.2f MB while decoding\n",
              run.objectBytes / 1048576.0, run.peakBytes / 1048576.0);
  std::printf("heap allocations:       %.4f per line while decoding (%llu in all)\n",
              static_cast<double>(run.allocations) / static_cast<double>(lines),
              static_cast<unsigned long long>(run.allocations));
  return 0;
}
