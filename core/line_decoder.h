// Per-object decoding state and the dispatch of one complete log line.
#pragma once

#include <cstdint>
#include <string_view>

#include "core/msg_time.h"
#include "core/xml_writer.h"
#include "params/column_registry.h"
#include "params/param_registry.h"
#include "wendrake/wendrake.h"

namespace wendrake {

class LineDecoder {
 public:
  static constexpr int kLayer3BufferSize = 8192;

  explicit LineDecoder(int32_t moduleType);
  LineDecoder(const LineDecoder&) = delete;
  LineDecoder& operator=(const LineDecoder&) = delete;

  // Decodes one line of n bytes (its newline included). Returns true when the
  // line yielded a report item, which is then in `current`.
  bool Dispatch(const char* line, int n);

  // Sets recordType from a token; an empty token leaves it as it was.
  void ClassifyRecordType(std::string_view token);

  // Registers the columns of a "RegReport" line for the type of its record
  // token; a line without a record token registers nothing.
  void RegisterColumns(std::string_view lineText, std::string_view recordToken);

  // The item under construction; copied into the queue when its line ends.
  ReportItem current;
  ParamRegistry params;
  int32_t moduleType;
  // State words reported as 0x7F01C102 and 0x7F01C103.
  uint16_t layer3State[2] = {0, 0};
  LogClock clock;
  int32_t recordType = -1;
  int32_t columnIndex = 0;
  ColumnRegistry columns;
  // Hybrid-mode value of the latest "CEVS" line.
  int32_t cevsState = -1;
  int32_t layer3Length = 0;
  uint8_t layer3Buffer[kLayer3BufferSize];

  // Writer bound to current.text.
  XmlText text{current.text};

 private:
  void OpenEnvelope();
  void CloseEnvelope();
  void SetClock(std::string_view restOfLine);
  bool DecodeRecord(std::string_view lineText);

  MsgTimeCache timeCache_;
};

}  // namespace wendrake
