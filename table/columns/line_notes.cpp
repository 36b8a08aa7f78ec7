#include "table/columns/line_notes.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "text/tab_fields.h"
#include "text/words.h"

namespace wendrake {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// A field that is wholly a finite decimal number ("3.76", "-1", "4e0"); NaN
// for anything else ("3.7x", "0x4", "", "nan").
double DecimalOrNaN(std::string_view field) {
  if (!field.empty() && field.front() == '+') field.remove_prefix(1);
  double value = kNaN;
  const char* end = field.data() + field.size();
  const auto [at, error] = std::from_chars(field.data(), end, value, std::chars_format::general);
  if (field.empty() || error != std::errc() || at != end || !std::isfinite(value)) return kNaN;
  return value;
}

// The fields after the record token, as TabFields gives them.
std::vector<std::string_view> FieldsAfterToken(std::string_view lineText, std::string_view token) {
  std::vector<std::string_view> fields;
  TabFields tabs(lineText);
  std::string_view field;
  bool tokenSeen = false;
  while (tabs.Next(&field)) {
    if (!tokenSeen && Words(field).Next() == token) {  // the token, blanks around it or not
      tokenSeen = true;
      continue;
    }
    fields.push_back(field);
  }
  return fields;
}

}  // namespace

void LineNotes::ClearEntries() {
  line.clear(), clockMs.clear(), kind.clear(), value.clear(), text.clear();
  latitude.clear(), longitude.clear();
}

bool NoteReader::IsNoteLine(std::string_view lineText) {
  const std::string_view first = Words(lineText).Next();
  return first == "LAB" || first == "VOT" || first == "ENT";
}

int32_t NoteReader::NameOf(std::string_view text, LineNotes* notes) {
  if (text.empty()) return -1;
  const auto [at, added] = index_.try_emplace(std::string(text), static_cast<int32_t>(notes->names.size()));
  if (added) notes->names.emplace_back(text);
  return at->second;
}

bool NoteReader::Read(std::string_view lineText, int64_t lineNumber, int64_t clockMs, double latitude,
                      double longitude, LineNotes* notes) {
  const std::string_view token = Words(lineText).Next();
  const std::vector<std::string_view> fields = FieldsAfterToken(lineText, token);
  NoteKind kind;
  double value = kNaN;
  std::string text;
  if (token == "LAB") {
    kind = NoteKind::kLabel;
    for (std::string_view field : fields) {
      if (field.empty()) continue;
      if (!text.empty()) text += ' ';
      text += field;
    }
    if (text.empty()) {
      ++notes->rejected;
      return false;
    }
  } else if (token == "VOT") {
    kind = NoteKind::kVoiceQuality;
    value = fields.empty() ? kNaN : DecimalOrNaN(fields[0]);
    if (std::isnan(value)) {
      ++notes->rejected;
      return false;
    }
    if (fields.size() > 1) text = fields[1];
  } else {
    kind = NoteKind::kWaypoint;
    if (fields.empty() || fields[0].empty()) {
      ++notes->rejected;
      return false;
    }
    text = fields[0];
    if (fields.size() > 1) value = DecimalOrNaN(fields[1]);
    if (fields.size() > 2 && !fields[2].empty()) text += ' ' + std::string(fields[2]);
  }
  const int32_t name = NameOf(text, notes);
  if (kind == NoteKind::kLabel) label_ = name;
  notes->line.push_back(lineNumber);
  notes->clockMs.push_back(clockMs);
  notes->kind.push_back(static_cast<int32_t>(kind));
  notes->value.push_back(value);
  notes->text.push_back(name);
  notes->latitude.push_back(latitude);
  notes->longitude.push_back(longitude);
  return true;
}

}  // namespace wendrake
