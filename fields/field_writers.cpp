#include "fields/field_writers.h"

#include <algorithm>
#include <cstdio>
#include <string_view>
#include <vector>

namespace wendrake {

namespace {

bool NeedsEscape(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return c == '"' || c == '\\' || byte < 0x20 || byte >= 0x7F;
}

void AppendEscaped(std::string& out, std::string_view text) {
  out += '"';
  // Names and values are plain ASCII as a rule: appended whole.
  if (std::none_of(text.begin(), text.end(), NeedsEscape)) {
    out += text;
    out += '"';
    return;
  }
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20 || byte >= 0x7F) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", byte);
      out += escape;
    } else {
      out += c;
    }
  }
  out += '"';
}

std::string Number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.10g", value);
  return text;
}

// The key of a field in its object: its name, or "NAME#n" for the n-th
// field of the same name.
std::string Key(const std::vector<Field>& fields, size_t index) {
  int seen = 1;
  for (size_t i = 0; i < index; ++i) {
    if (fields[i].name == fields[index].name) ++seen;
  }
  std::string key(fields[index].name);
  if (seen > 1) {
    key += '#';
    key += std::to_string(seen);
  }
  return key;
}

void AppendFieldsJson(std::string& out, const std::vector<Field>& fields);

void AppendValueJson(std::string& out, const Field& field) {
  switch (field.kind) {
    case Field::Kind::kRecords:
      out += '[';
      for (size_t i = 0; i < field.records.size(); ++i) {
        if (i != 0) out += ',';
        AppendFieldsJson(out, field.records[i]);
      }
      out += ']';
      return;
    case Field::Kind::kTruncated:
      out += "{\"bit\":" + std::to_string(field.bitOffset) + ",\"reason\":";
      AppendEscaped(out, field.text);
      out += '}';
      return;
    case Field::Kind::kBytes:
      out += "{\"hex\":";
      AppendEscaped(out, field.text);
      out += '}';
      return;
    case Field::Kind::kValue:
      break;
  }
  if (!field.real && field.text.empty()) {
    out += std::to_string(field.raw);
    return;
  }
  out += "{\"raw\":" + std::to_string(field.raw);
  if (field.real) out += ",\"value\":" + Number(*field.real);
  if (!field.unit.empty()) {
    out += ",\"unit\":";
    AppendEscaped(out, field.unit);
  }
  if (!field.text.empty()) {
    out += ",\"name\":";
    AppendEscaped(out, field.text);
  }
  out += '}';
}

void AppendFieldsJson(std::string& out, const std::vector<Field>& fields) {
  out += '{';
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i != 0) out += ',';
    AppendEscaped(out, Key(fields, i));
    out += ':';
    AppendValueJson(out, fields[i]);
  }
  out += '}';
}

void AppendFieldsText(std::string& out, const std::vector<Field>& fields, int depth) {
  const std::string indent(2 * depth, ' ');
  for (const Field& field : fields) {
    out += indent;
    out += field.name;
    switch (field.kind) {
      case Field::Kind::kRecords:
        out += " (" + std::to_string(field.records.size()) + ")\n";
        for (size_t i = 0; i < field.records.size(); ++i) {
          out += indent + "  [" + std::to_string(i) + "]\n";
          AppendFieldsText(out, field.records[i], depth + 2);
        }
        continue;
      case Field::Kind::kTruncated:
        out += " at bit " + std::to_string(field.bitOffset) + ": " + field.text + "\n";
        continue;
      case Field::Kind::kBytes:
        out += " = " + (field.text.empty() ? std::string("(none)") : "0x" + field.text) + "\n";
        continue;
      case Field::Kind::kValue:
        break;
    }
    out += " = " + std::to_string(field.raw);
    if (field.real || !field.text.empty()) {
      out += " (";
      if (field.real) {
        out += Number(*field.real);
        if (!field.unit.empty()) out += " " + std::string(field.unit);
        if (!field.text.empty()) out += ", ";
      }
      out += field.text;
      out += ")";
    }
    out += "\n";
  }
}

}  // namespace

const char* StatusName(DecodedMessage::Status status) {
  switch (status) {
    case DecodedMessage::Status::kComplete: return "complete";
    case DecodedMessage::Status::kTruncated: return "truncated";
    case DecodedMessage::Status::kNoLayout: return "no layout";
    case DecodedMessage::Status::kNotMessage: return "not a message";
  }
  return "";
}

std::string FieldsToJson(const DecodedMessage& message) {
  std::string out = "{\"log_code\":" + std::to_string(message.logCode) + ",\"channel\":";
  AppendEscaped(out, message.channel);
  out += ",\"message\":";
  AppendEscaped(out, message.message);
  out += ",\"reference\":";
  AppendEscaped(out, message.reference);
  out += ",\"status\":";
  AppendEscaped(out, StatusName(message.status));
  out += ",\"fields\":";
  AppendFieldsJson(out, message.fields);
  out += '}';
  return out;
}

std::string FieldListToJson(const std::vector<Field>& fields) {
  std::string out;
  AppendFieldsJson(out, fields);
  return out;
}

std::string FieldListToText(const std::vector<Field>& fields, int depth) {
  std::string out;
  AppendFieldsText(out, fields, depth);
  return out;
}

std::string FieldsToText(const DecodedMessage& message) {
  const std::string_view name = message.message;
  std::string out(name.empty() ? std::string_view("(unnamed message)") : name);
  out += " [" + std::string(message.channel) + ", " + StatusName(message.status) + "]\n";
  AppendFieldsText(out, message.fields, 1);
  return out;
}

}  // namespace wendrake
