// "wendrake stats": a summary of a whole log.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "format/capped_counts.h"
#include "format/log_lines.h"
#include "io/log_table.h"

namespace wendrake_cli {

class Stats {
 public:
  // Table flags AddPiece expects: stats describe the values lines set.
  static constexpr unsigned kTableFlags = WENDRAKE_TABLE_SETTINGS;

  // Stats of `log` (kept by the caller): its record tokens, lines without
  // an item and long lines are read from it, its items from its pieces.
  explicit Stats(std::string_view log) : walker_(log) { wendrake_evdo_tally_start(&evdo_); }

  // Takes in the items of the next piece of the log (built with kTableFlags).
  void AddPiece(const LogTable& piece);
  // Takes in the lines after the last item.
  void Finish();

  // The readable report, or the same numbers as one JSON object.
  std::string Text(const std::string& logName, std::string_view module) const;
  std::string Json() const;

  // Rows of each per-token or per-code table; the rest share one row.
  static constexpr size_t kTableRows = 1000;

 private:
  struct Summary {  // a parameter over the items that set it (real units), or a codec's scores
    uint64_t count = 0;
    double min = 0;
    double max = 0;
    double sum = 0;
    void Add(double value) {
      if (count == 0 || value < min) min = value;
      if (count == 0 || value > max) max = value;
      sum += value;
      ++count;
    }
    double Mean() const { return sum / static_cast<double>(count); }
  };
  struct StateChange {
    uint64_t line;
    uint32_t seconds;
    uint32_t micros;
    int32_t from;
    int32_t to;
  };
  void AddItem(size_t row, const LogTable& table, std::string_view token);
  void AddSettings(const LogTable& table);
  void AddEvdoStates(const LogTable& table);
  void AddVoiceQuality(const LogTable& table);
  // Moves to the next line of the log, counting it; false at the end.
  bool NextLine();
  void AddLineWithoutItem();

  struct Stamp {
    uint32_t seconds = 0, micros = 0;
    // Comparable clock value; micros are not range-checked by the decoder.
    int64_t Micros() const { return int64_t{seconds} * 1000000 + micros; }
  };

  LogLines walker_;
  LineSpan line_;  // the line walked to last
  uint64_t lines_ = 0;
  uint64_t items_ = 0;
  uint64_t itemLines_ = 0;
  uint64_t longLines_ = 0;
  bool unterminatedLast_ = false;
  CappedCounts<std::string> byRecord_{kTableRows};
  CappedCounts<uint32_t> byCode_{kTableRows};
  std::map<uint32_t, std::string> codeRecord_;  // record token of a code's first item
  CappedCounts<std::string> emptyByRecord_{kTableRows};  // lines that yielded no item
  // The summary of a parameter, found through a small cache of pointers
  // into params_ (whose nodes never move): a log's lines set a few dozen
  // parameters millions of times.
  Summary& SummaryOf(uint32_t id);
  std::map<uint32_t, Summary> params_;
  static constexpr int kCacheBits = 8;
  std::array<uint32_t, size_t{1} << kCacheBits> cachedIds_{};
  std::array<Summary*, size_t{1} << kCacheBits> cached_{};
  // The EV-DO state: the library's tally, and its first kTableRows changes.
  WendrakeEvdoTally evdo_{};
  std::vector<StateChange> evdoChanges_;
  // The scores of "VOT" lines, by codec ("" where the line names none).
  std::map<std::string, Summary> voiceQuality_;
  bool haveClock_ = false;
  Stamp first_, last_, earliest_, latest_;
  uint64_t backwardJumps_ = 0;
};

}  // namespace wendrake_cli
