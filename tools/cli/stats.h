// "wendrake stats": a summary of a whole log.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "host_cycle.h"

namespace wendrake_cli {

class Stats : public ItemSink {
 public:
  void OnItem(const Item& item) override;
  void OnLine(const LogLine& line, int items) override;

  // The readable report, or the same numbers as one JSON object.
  std::string Text(const std::string& logName, std::string_view module) const;
  std::string Json() const;

 private:
  struct Summary {  // one parameter, in real units, over the items that set it
    uint64_t count = 0;
    double min = 0;
    double max = 0;
    double sum = 0;
  };
  struct StateChange {
    uint64_t line;
    uint32_t seconds;
    uint32_t micros;
    int32_t from;  // -1 before the first report
    int32_t to;
  };

  uint64_t lines_ = 0;
  uint64_t items_ = 0;
  uint64_t itemLines_ = 0;
  bool unterminatedLast_ = false;
  std::map<std::string, uint64_t> byRecord_;
  std::map<uint32_t, uint64_t> byCode_;
  std::map<uint32_t, std::string> codeRecord_;  // record token of a code's first item
  std::map<std::string, uint64_t> emptyByRecord_;  // lines that yielded no item
  std::map<uint32_t, Summary> params_;
  std::vector<StateChange> evdoChanges_;
  int32_t evdoState_ = -1;
  bool haveClock_ = false;
  uint32_t firstSeconds_ = 0, firstMicros_ = 0, lastSeconds_ = 0, lastMicros_ = 0;
};

}  // namespace wendrake_cli
