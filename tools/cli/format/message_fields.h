// The fields of a "CL3" item's signalling message, decoded by the table
// library, for the output formats.
#pragma once

#include <string_view>
#include <vector>

#include "format/item_model.h"

namespace wendrake_cli {

class MessageFields {
 public:
  // The item's fields as one JSON object ("{}" when the item holds no
  // message): valid until the next call.
  std::string_view Json(const Item& item);
  // The item's fields one per line ("NAME = raw (value unit, name)"), each
  // line indented by two blanks, records' fields further in; empty when it
  // holds no message. Valid until the next call.
  std::string_view Text(const Item& item);

  // The name of the item's message, or empty when its code has none.
  static std::string_view Name(const Item& item);

 private:
  std::string_view Format(const Item& item, int format);
  std::vector<char> buffer_ = std::vector<char>(4096);  // grows to the longest text met
};

}  // namespace wendrake_cli
