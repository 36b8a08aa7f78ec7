#include "table/messages/message_table.h"

#include <limits>
#include <span>
#include <unordered_map>

#include "fields/field_catalogue.h"
#include "fields/field_writers.h"
#include "fields/message_fields.h"
#include "l3/message_names.h"

namespace wendrake {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
// The record marker before the message in a "CL3" item's raw block.
constexpr size_t kRecordMarker = 4;

struct Catalogue {
  std::vector<FieldCatalogueEntry> entries;
  std::unordered_map<std::string, int32_t> index;
};

const Catalogue& TheCatalogue() {
  static const Catalogue catalogue = [] {
    Catalogue c;
    for (const FieldInfo& info : FieldCatalogue()) {
      const auto [at, added] = c.index.try_emplace(std::string(info.name), static_cast<int32_t>(c.entries.size()));
      if (added) c.entries.push_back({std::string(info.name), std::string(info.unit)});
    }
    return c;
  }();
  return catalogue;
}

// How many fields of fields[index]'s name come up to it, itself included:
// the n-th of a name is keyed "NAME#n" (n > 1), as the JSON writer keys it.
int Occurrence(const std::vector<Field>& fields, size_t index) {
  int seen = 1;
  for (size_t i = 0; i < index; ++i) seen += fields[i].name == fields[index].name;
  return seen;
}

}  // namespace

const std::vector<FieldCatalogueEntry>& MessageFieldCatalogue() { return TheCatalogue().entries; }

int32_t MessageFieldId(std::string_view name) {
  const Catalogue& c = TheCatalogue();
  const auto at = c.index.find(std::string(name));
  return at == c.index.end() ? -1 : at->second;
}

MessageCollector::MessageCollector() : paths_(std::make_shared<MessagePaths>()) {}

void MessageCollector::AddRow(const uint8_t* raw, size_t rawLength, uint32_t msgCode, int64_t row,
                              int64_t clockMs, MessageRows* out) {
  if (out->paths == nullptr) out->paths = paths_;
  DecodedMessage message;
  if (rawLength > kRecordMarker) {
    message = DecodeMessageFields(std::span<const uint8_t>(raw + kRecordMarker, rawLength - kRecordMarker));
  }
  out->rows.push_back(row);
  const std::string_view name = Layer3MessageName(msgCode);
  // Message names are views of constant literals, zero-terminated.
  out->names.push_back(name.empty() ? nullptr : name.data());
  out->statuses.push_back(static_cast<int32_t>(message.status));
  out->jsonAt.push_back(out->AddText(FieldListToJson(message.fields)));
  AddFields(message.fields, std::string(), row, out);
  CellSighting sighting;
  if (SightingOf(message, clockMs, &sighting)) out->sightings.push_back(std::move(sighting));
}

int32_t MessageCollector::IdOf(std::string_view name) {
  const auto [at, added] = ids_.try_emplace(name, 0);
  if (added) at->second = MessageFieldId(name);
  return at->second;
}

int32_t MessageCollector::TopLevelPathOf(std::string_view name) {
  const auto [at, added] = topLevelPaths_.try_emplace(name, 0);
  if (added) at->second = paths_->CodeOf(std::string(name));
  return at->second;
}

void MessageCollector::AddFields(const std::vector<Field>& fields, const std::string& prefix, int64_t row,
                                 MessageRows* out) {
  for (size_t i = 0; i < fields.size(); ++i) {
    const Field& field = fields[i];
    const int seen = Occurrence(fields, i);
    std::string path;
    const bool plain = prefix.empty() && seen == 1 && field.kind != Field::Kind::kRecords;
    if (!plain) {
      path = prefix;
      path.append(field.name);
      if (seen > 1) path += "#" + std::to_string(seen);
    }
    out->fieldRows.push_back(row);
    out->fieldPaths.push_back(plain ? TopLevelPathOf(field.name) : paths_->CodeOf(path));
    out->fieldIds.push_back(IdOf(field.name));
    out->raws.push_back(field.raw);
    const size_t text = field.text.empty() ? MessageRows::kNoText : out->AddText(field.text);
    switch (field.kind) {
      case Field::Kind::kValue:
        out->fieldKinds.push_back(field.real ? kFieldReal : kFieldInteger);
        out->values.push_back(field.real ? *field.real : static_cast<double>(field.raw));
        break;
      case Field::Kind::kBytes:
        out->fieldKinds.push_back(kFieldOctets);
        out->values.push_back(kNaN);
        break;
      case Field::Kind::kRecords:
        out->fieldKinds.push_back(kFieldRecords);
        out->values.push_back(static_cast<double>(field.records.size()));
        break;
      case Field::Kind::kTruncated:
        out->fieldKinds.push_back(kFieldTruncated);
        out->values.push_back(static_cast<double>(field.bitOffset));
        break;
    }
    out->textAt.push_back(text);
    if (field.kind != Field::Kind::kRecords) continue;
    for (size_t r = 0; r < field.records.size(); ++r) {
      AddFields(field.records[r], path + "[" + std::to_string(r) + "].", row, out);
    }
  }
}

void MessageCollector::Complete(MessageRows* out) const {
  if (out->paths == nullptr) out->paths = paths_;
  out->pathNames.clear();
  for (const std::string& name : paths_->names) out->pathNames.push_back(name.c_str());
}

}  // namespace wendrake
