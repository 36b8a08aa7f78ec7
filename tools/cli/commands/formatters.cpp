#include "commands/formatters.h"

#include <fmt/format.h>

#include <unordered_map>

#include "format/fast_format.h"
#include "format/message_fields.h"
#include "format/param_info.h"
#include "format/text_escape.h"

namespace wendrake_cli {
namespace {

using Appender = std::back_insert_iterator<std::string>;

// What a format prints of a parameter before its values, and the scale of
// its values, made once per parameter rather than once per item.
class ParamLabels {
 public:
  struct Label {
    std::string text;
    int32_t scale;

    // The text then what `rest` appends for a stored value: the last such
    // entry is kept, since a carried value repeats from item to item and is
    // then copied instead of formatted again.
    template <typename Rest>
    const std::string& Entry(int32_t stored, Rest rest) {
      if (!hasEntry_ || entryStored_ != stored) {
        entry_ = text;
        rest(&entry_);
        entryStored_ = stored;
        hasEntry_ = true;
      }
      return entry_;
    }

   private:
    std::string entry_;
    int32_t entryStored_ = 0;
    bool hasEntry_ = false;
  };
  template <typename Make>
  Label& Get(uint32_t id, Make make) {
    auto [at, added] = labels_.try_emplace(id);
    if (added) {
      at->second.text = make(id);
      at->second.scale = ParamScale(id);
    }
    return at->second;
  }

 private:
  std::unordered_map<uint32_t, Label> labels_;
};

void AppendParamReal(std::string* out, int32_t stored, const ParamLabels::Label& label) {
  // As RealValue prints: the stored value divided by the scale.
  AppendScaled(out, stored, label.scale);
}

class JsonLines : public Formatter {
 public:
  using Formatter::Formatter;

 private:
  void Format(const Item& item, std::string* out) override {
    out->append("{\"line\":");
    AppendInt(out, item.line);
    out->append(",\"record\":");
    AppendJson(out, item.token);
    out->append(",\"code\":\"");
    AppendHexCode(out, item.code);
    out->append("\",\"direction\":");
    AppendInt(out, item.direction);
    out->append(",\"time\":{\"seconds\":");
    AppendInt(out, item.seconds);
    out->append(",\"micros\":");
    AppendInt(out, item.micros);
    out->append(",\"iso\":");
    // An ISO time needs no escapes: its quotes are all it takes.
    out->push_back('"');
    if (clock_.Append(out, item.seconds, item.micros)) {
      out->append("\"},");
    } else {
      out->back() = 'n';
      out->append("ull},");
    }
    if (item.IsLayer3()) {
      out->append("\"layer3\":{\"log_code\":\"0x");
      AppendHex(out, item.LogCode(), 4);
      out->append("\",\"message_type\":");
      AppendInt(out, item.MessageType());
      out->append(",\"sub_code\":");
      AppendInt(out, item.SubCode());
      out->append(",\"body\":\"");
      AppendHexBytes(out, item.text);
      out->append("\",\"message\":");
      const std::string_view name = MessageFields::Name(item);
      if (name.empty()) {
        out->append("null");
      } else {
        AppendJson(out, name);
      }
      out->append(",\"fields\":");
      out->append(fields_.Json(item));
      out->append("},");
    } else {
      out->append("\"text\":");
      AppendJson(out, item.text);
      out->push_back(',');
    }
    out->append("\"raw\":");
    AppendJson(out, item.lineText);
    AppendParams(out, ",\"current\":[", item.current);
    AppendParams(out, ",\"inherited\":[", item.inherited);
    out->append("}\n");
  }

  void AppendParams(std::string* out, std::string_view opening, const std::vector<ParamValue>& params) {
    out->append(opening);
    for (size_t i = 0; i < params.size(); ++i) {
      const ParamValue& p = params[i];
      ParamLabels::Label& label = labels_.Get(p.id, [](uint32_t id) {
        std::string text = fmt::format("{{\"id\":\"0x{:08X}\",\"name\":", id);
        AppendJson(&text, ParamName(id));
        return text + ",\"stored\":";
      });
      if (i > 0) out->push_back(',');
      out->append(label.Entry(p.stored, [&](std::string* entry) {
        AppendInt(entry, p.stored);
        entry->append(",\"real\":");
        AppendParamReal(entry, p.stored, label);
        entry->push_back('}');
      }));
    }
    out->push_back(']');
  }

  IsoClock clock_;
  ParamLabels labels_;
  MessageFields fields_;
};

class Csv : public Formatter {
 public:
  explicit Csv(Output* out) : Formatter(out) {
    writer_.buffer().append(
        "line,record,code,direction,seconds,micros,time,log_code,message_type,sub_code,text,raw,"
        "current,inherited,fields\n");
  }

 private:
  void Format(const Item& item, std::string* out) override {
    AppendInt(out, item.line);
    out->push_back(',');
    AppendCsv(out, item.token);
    out->push_back(',');
    AppendHexCode(out, item.code);
    out->push_back(',');
    AppendInt(out, item.direction);
    out->push_back(',');
    AppendInt(out, item.seconds);
    out->push_back(',');
    AppendInt(out, item.micros);
    out->push_back(',');
    clock_.Append(out, item.seconds, item.micros);
    out->push_back(',');
    if (item.IsLayer3()) {
      out->append("0x");
      AppendHex(out, item.LogCode(), 4);
      out->push_back(',');
      AppendInt(out, item.MessageType());
      out->push_back(',');
      AppendInt(out, item.SubCode());
      out->push_back(',');
      AppendHexBytes(out, item.text);
      out->push_back(',');
    } else {
      out->append(",,,");
      AppendCsv(out, item.text);
      out->push_back(',');
    }
    AppendCsv(out, item.lineText);
    out->push_back(',');
    AppendParams(out, item.current);
    out->push_back(',');
    AppendParams(out, item.inherited);
    out->push_back(',');
    if (item.IsLayer3()) AppendCsv(out, fields_.Json(item));
    out->push_back('\n');
  }

  // One cell: "id:name:stored:real" entries separated by semicolons.
  void AppendParams(std::string* out, const std::vector<ParamValue>& params) {
    cell_.clear();
    for (size_t i = 0; i < params.size(); ++i) {
      const ParamValue& p = params[i];
      ParamLabels::Label& label =
          labels_.Get(p.id, [](uint32_t id) { return fmt::format("0x{:08X}:{}:", id, ParamName(id)); });
      if (i > 0) cell_.push_back(';');
      cell_.append(label.Entry(p.stored, [&](std::string* entry) {
        AppendInt(entry, p.stored);
        entry->push_back(':');
        AppendParamReal(entry, p.stored, label);
      }));
    }
    AppendCsv(out, cell_);
  }

  IsoClock clock_;
  ParamLabels labels_;
  std::string cell_;
  MessageFields fields_;
};

class Text : public Formatter {
 public:
  using Formatter::Formatter;

 private:
  void Format(const Item& item, std::string* out) override {
    const Appender o(*out);
    const std::string iso = IsoTime(item.seconds, item.micros);
    fmt::format_to(o, "line {}  ", item.line);
    AppendPrintable(out, item.token);
    fmt::format_to(o, "  {}  direction {}  {}  (stored {} s {} us)\n", HexCode(item.code), item.direction,
                   iso.empty() ? "no clock" : iso, item.seconds, item.micros);
    out->append("  raw        ");
    AppendPrintable(out, item.lineText);
    out->push_back('\n');
    if (item.IsLayer3()) {
      fmt::format_to(o, "  layer 3    log code 0x{:04X}  message type 0x{:02X}  sub-code 0x{:02X}\n",
                     item.LogCode(), item.MessageType(), item.SubCode());
      out->append("  body       ");
      AppendHexBytes(out, item.text);
      out->push_back('\n');
      out->append("  message    ");
      const std::string_view name = MessageFields::Name(item);
      out->append(name.empty() ? std::string_view("unknown") : name);
      out->push_back('\n');
      AppendFields(out, fields_.Text(item));
    } else {
      AppendIndented(out, item.text);
    }
    AppendParams(out, "current", item.current);
    AppendParams(out, "inherited", item.inherited);
    out->push_back('\n');
  }

  // The message's fields under a "fields" line, two blanks further in than
  // the library indents them.
  static void AppendFields(std::string* out, std::string_view fields) {
    if (fields.empty()) return;
    out->append("  fields\n");
    while (!fields.empty()) {
      const size_t end = fields.find('\n');
      out->append("  ");
      AppendPrintable(out, fields.substr(0, end));
      out->push_back('\n');
      if (end == std::string_view::npos) break;
      fields.remove_prefix(end + 1);
    }
  }

  static void AppendIndented(std::string* out, std::string_view text) {
    out->append("  text\n");
    while (!text.empty()) {
      const size_t end = text.find('\n');
      out->append("    ");
      AppendPrintable(out, text.substr(0, end));
      out->push_back('\n');
      if (end == std::string_view::npos) break;
      text.remove_prefix(end + 1);
    }
  }

  void AppendParams(std::string* out, std::string_view label, const std::vector<ParamValue>& params) {
    const Appender o(*out);
    if (params.empty()) {
      fmt::format_to(o, "  {:<10} none\n", label);
      return;
    }
    for (size_t i = 0; i < params.size(); ++i) {
      const ParamValue& p = params[i];
      const ParamLabels::Label& name =
          labels_.Get(p.id, [](uint32_t id) { return fmt::format("0x{:08X}  {:<22}", id, ParamName(id)); });
      fmt::format_to(o, "  {:<10} {} {:>10}  ", i == 0 ? label : "", name.text, p.stored);
      AppendParamReal(out, p.stored, name);
      out->push_back('\n');
    }
  }

  ParamLabels labels_;
  MessageFields fields_;
};

// The fields a plain C host prints for an item: comparing it with such a
// host's output shows that both read the same items.
class Summary : public Formatter {
 public:
  using Formatter::Formatter;

 private:
  void Format(const Item& item, std::string* out) override {
    AppendHex(out, item.code, 8);
    out->push_back(' ');
    AppendInt(out, item.direction);
    for (const size_t field : {size_t{item.seconds}, size_t{item.micros}, item.text.size(), item.raw.size(),
                               item.current.size(), item.inherited.size()}) {
      out->push_back(' ');
      AppendInt(out, field);
    }
    out->push_back('\n');
  }
};

}  // namespace

std::unique_ptr<Formatter> MakeFormatter(std::string_view format, Output* out) {
  if (format == "jsonl") return std::make_unique<JsonLines>(out);
  if (format == "csv") return std::make_unique<Csv>(out);
  if (format == "text") return std::make_unique<Text>(out);
  if (format == "summary") return std::make_unique<Summary>(out);
  return nullptr;
}

}  // namespace wendrake_cli
