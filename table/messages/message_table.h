// Decodes the fields of each "CL3" row into a table's messages (MessageRows).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "fields/field.h"
#include "table/messages/message_rows.h"

namespace wendrake {

// Field kinds of the long table; the values of WENDRAKE_FIELD_*.
enum FieldKindCode : int32_t {
  kFieldInteger = 1,
  kFieldReal = 2,
  kFieldOctets = 3,
  kFieldRecords = 4,
  kFieldTruncated = 5,
};

// The catalogue of field names and units, each name once: the names every
// layout can give, then any other name met (none, while the layouts are the
// only source of names). Names and units are zero-terminated.
struct FieldCatalogueEntry {
  std::string name;
  std::string unit;
};
const std::vector<FieldCatalogueEntry>& MessageFieldCatalogue();
// The entry of a name, or -1.
int32_t MessageFieldId(std::string_view name);

class MessageCollector {
 public:
  MessageCollector();

  // Adds the message in a "CL3" item's raw block (`rawLength` bytes: four
  // bytes of record marker, then the message as logged) as row `row`.
  void AddRow(const uint8_t* raw, size_t rawLength, uint32_t msgCode, int64_t row, int64_t clockMs,
              MessageRows* out);

  // Readies `out` (the rows of a finished piece or table) to be handed out.
  void Complete(MessageRows* out) const;

 private:
  void AddFields(const std::vector<Field>& fields, const std::string& prefix, int64_t row, MessageRows* out);
  // Field names are views of the layouts' constant storage: the catalogue
  // entry of a name, and the path code of a top-level field met once in its
  // message (most fields), are looked up by the name's address.
  int32_t IdOf(std::string_view name);
  int32_t TopLevelPathOf(std::string_view name);

  // A name's address and length: two names never share both.
  struct NameKey {
    size_t operator()(std::string_view name) const {
      return std::hash<const void*>()(name.data()) ^ name.size();
    }
  };
  struct SameName {
    bool operator()(std::string_view a, std::string_view b) const {
      return a.data() == b.data() && a.size() == b.size();
    }
  };
  std::shared_ptr<MessagePaths> paths_;
  std::unordered_map<std::string_view, int32_t, NameKey, SameName> ids_;
  std::unordered_map<std::string_view, int32_t, NameKey, SameName> topLevelPaths_;
};

}  // namespace wendrake
