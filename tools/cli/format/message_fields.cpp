#include "format/message_fields.h"

#include "wendrake/table.h"

namespace wendrake_cli {

std::string_view MessageFields::Format(const Item& item, int format) {
  for (;;) {
    const int64_t length =
        wendrake_message_fields(item.raw.data(), item.raw.size(), format, buffer_.data(), buffer_.size());
    if (length < 0) return {};
    if (static_cast<size_t>(length) < buffer_.size()) return {buffer_.data(), static_cast<size_t>(length)};
    buffer_.resize(static_cast<size_t>(length) + 1);
  }
}

std::string_view MessageFields::Json(const Item& item) {
  const std::string_view json = Format(item, WENDRAKE_FIELDS_JSON);
  return json.empty() ? std::string_view("{}") : json;
}

std::string_view MessageFields::Text(const Item& item) { return Format(item, WENDRAKE_FIELDS_TEXT); }

std::string_view MessageFields::Name(const Item& item) {
  const char* name = wendrake_message_name(item.code);
  return name == nullptr ? std::string_view() : std::string_view(name);
}

}  // namespace wendrake_cli
