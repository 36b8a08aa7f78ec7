// Decodes a message body by walking its layout.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "fields/field.h"
#include "fields/layout.h"
#include "fields/message_bits.h"

namespace wendrake {

class LayoutRunner {
 public:
  // pRevInUse: the protocol revision that kIf steps on P_REV_IN_USE test;
  // empty: the message's own MOB_P_REV or P_REV once read, else the newest.
  LayoutRunner(MessageBits& bits, std::optional<int> pRevInUse)
      : bits_(bits), pRev_(pRevInUse) {}

  // Appends the fields of `layout` to `out`. Returns false when a field did
  // not fit; the marker has then been appended to `out` (top level), unless
  // the message ended quietly where later revisions add fields.
  bool Run(Layout layout, std::vector<Field>& out);

  // True after Run returned false at a quiet end.
  bool endedQuietly() const { return quietEnd_; }

  // The value of the last field so named, 0 when none has been read.
  uint64_t Value(std::string_view name) const;

 private:
  bool RunRange(Layout steps, size_t begin, size_t end, std::vector<Field>& out);
  bool ReadField(const Step& step, std::vector<Field>& out);
  // Reads what is left of the message or record as the field `name`.
  void ReadRest(std::string_view name, std::vector<Field>& out);
  bool Holds(const Step& step) const;
  bool Stop(std::string_view name, int32_t width);

  MessageBits& bits_;
  std::optional<int> pRev_;
  std::vector<std::pair<std::string_view, uint64_t>> values_;
  bool mayEnd_ = false;
  bool quietEnd_ = false;
  std::optional<Field> marker_;
};

}  // namespace wendrake
