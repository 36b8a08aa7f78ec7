// Per-object decoding state and the dispatch of one complete log line.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "decode/msg_time.h"
#include "params/column_registry.h"
#include "params/param_registry.h"
#include "records/record_context.h"
#include "text/element_writer.h"
#include "wendrake/wendrake.h"

namespace wendrake {

class LineDecoder {
 public:
  // Without `writeText`, items carry no XML text (tools that read only the
  // parameters skip the cost of writing it).
  explicit LineDecoder(int32_t moduleType, bool writeText = true);
  LineDecoder(const LineDecoder&) = delete;
  LineDecoder& operator=(const LineDecoder&) = delete;

  // Decodes one line of n bytes (its newline included). Returns true when the
  // line yielded a report item, which is then item().
  bool Dispatch(const char* line, int n);

  // The item under construction, and the parameter slots it has ever had
  // written (the only ones a copy of it needs).
  const ReportItem& item() const { return current_; }
  std::span<const SlotRun> touchedRuns() const { return params_.touchedRuns(); }

  // What tools that read items straight from the decoder also need: the
  // record type of the last line, the log's clock that stamped it, and the
  // registered columns.
  int32_t recordType() const { return recordType_; }
  const LogClock& clock() const { return clock_; }
  const ColumnRegistry& columns() const { return columns_; }
  // Counts every value set and every drop so far: a reader that remembers
  // it knows whether parameters changed outside the lines it saw.
  uint64_t paramChanges() const { return params_.changes(); }

 private:
  void RegisterColumns(std::string_view lineText, std::string_view recordToken);
  void OpenEnvelope();
  void CloseEnvelope();
  void SetClock(std::string_view restOfLine);
  bool DecodeRecord(std::string_view lineText);

  const int32_t moduleType_;
  const bool writeText_;
  // Packed, so its alignment is 1: aligned here, since the lists and slots
  // inside are read as 16- and 32-bit values at their natural offsets.
  alignas(16) ReportItem current_;
  XmlText text_{current_.text};
  ParamRegistry params_{&current_};
  ColumnRegistry columns_;
  SignallingState signalling_;
  int32_t recordType_ = kRecordUnknown;
  LogClock clock_;
  MsgTimeCache timeCache_;
};

}  // namespace wendrake
