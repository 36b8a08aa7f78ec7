#include "formatters.h"

#include <fmt/format.h>

#include "param_info.h"
#include "text_escape.h"

namespace wendrake_cli {
namespace {

using Appender = std::back_insert_iterator<std::string>;

// Base of the formats: builds one item's record in a reused buffer and
// writes it in one piece.
class Formatter : public ItemSink {
 public:
  explicit Formatter(Output* out) : out_(out) {}
  void OnItem(const Item& item) final {
    buffer_.clear();
    Format(item);
    out_->Write(buffer_);
  }

 protected:
  virtual void Format(const Item& item) = 0;
  Appender Append() { return std::back_inserter(buffer_); }
  std::string buffer_;

 private:
  Output* out_;
};

class JsonLines : public Formatter {
 public:
  using Formatter::Formatter;

 private:
  void Format(const Item& item) override {
    fmt::format_to(Append(), "{{\"line\":{},\"record\":", item.line);
    AppendJson(&buffer_, item.token);
    fmt::format_to(Append(), ",\"code\":\"{}\",\"direction\":{},\"time\":{{\"seconds\":{},\"micros\":{},\"iso\":",
                   HexCode(item.code), item.direction, item.seconds, item.micros);
    const std::string iso = IsoTime(item.seconds, item.micros);
    if (iso.empty()) {
      buffer_ += "null";
    } else {
      AppendJson(&buffer_, iso);
    }
    buffer_ += "},";
    if (item.IsLayer3()) {
      fmt::format_to(Append(),
                     "\"layer3\":{{\"log_code\":\"0x{:04X}\",\"message_type\":{},\"sub_code\":{},"
                     "\"body\":\"{}\"}},",
                     item.LogCode(), item.MessageType(), item.SubCode(), HexBytes(item.text));
    } else {
      buffer_ += "\"text\":";
      AppendJson(&buffer_, item.text);
      buffer_ += ',';
    }
    buffer_ += "\"raw\":";
    AppendJson(&buffer_, item.lineText);
    AppendParams("current", item.current);
    AppendParams("inherited", item.inherited);
    buffer_ += "}\n";
  }

  void AppendParams(std::string_view key, const std::vector<ParamValue>& params) {
    fmt::format_to(Append(), ",\"{}\":[", key);
    for (size_t i = 0; i < params.size(); ++i) {
      const ParamValue& p = params[i];
      if (i > 0) buffer_ += ',';
      fmt::format_to(Append(), "{{\"id\":\"0x{:08X}\",\"name\":", p.id);
      AppendJson(&buffer_, ParamName(p.id));
      fmt::format_to(Append(), ",\"stored\":{},\"real\":{}}}", p.stored, RealValue(p.id, p.stored));
    }
    buffer_ += ']';
  }
};

class Csv : public Formatter {
 public:
  explicit Csv(Output* out) : Formatter(out) {
    out->Write(
        "line,record,code,direction,seconds,micros,time,log_code,message_type,sub_code,text,raw,"
        "current,inherited\n");
  }

 private:
  void Format(const Item& item) override {
    fmt::format_to(Append(), "{},", item.line);
    AppendCsv(&buffer_, item.token);
    fmt::format_to(Append(), ",{},{},{},{},{},", HexCode(item.code), item.direction, item.seconds,
                   item.micros, IsoTime(item.seconds, item.micros));
    if (item.IsLayer3()) {
      fmt::format_to(Append(), "0x{:04X},{},{},{},", item.LogCode(), item.MessageType(),
                     item.SubCode(), HexBytes(item.text));
    } else {
      buffer_ += ",,,";
      AppendCsv(&buffer_, item.text);
      buffer_ += ',';
    }
    AppendCsv(&buffer_, item.lineText);
    buffer_ += ',';
    AppendParams(item.current);
    buffer_ += ',';
    AppendParams(item.inherited);
    buffer_ += '\n';
  }

  // One cell: "id:name:stored:real" entries separated by semicolons.
  void AppendParams(const std::vector<ParamValue>& params) {
    std::string cell;
    for (size_t i = 0; i < params.size(); ++i) {
      const ParamValue& p = params[i];
      fmt::format_to(std::back_inserter(cell), "{}0x{:08X}:{}:{}:{}", i > 0 ? ";" : "", p.id,
                     ParamName(p.id), p.stored, RealValue(p.id, p.stored));
    }
    AppendCsv(&buffer_, cell);
  }
};

class Text : public Formatter {
 public:
  using Formatter::Formatter;

 private:
  void Format(const Item& item) override {
    const std::string iso = IsoTime(item.seconds, item.micros);
    fmt::format_to(Append(), "line {}  ", item.line);
    AppendPrintable(&buffer_, item.token);
    fmt::format_to(Append(), "  {}  direction {}  {}  (stored {} s {} us)\n", HexCode(item.code),
                   item.direction, iso.empty() ? "no clock" : iso, item.seconds, item.micros);
    buffer_ += "  raw        ";
    AppendPrintable(&buffer_, item.lineText);
    buffer_ += '\n';
    if (item.IsLayer3()) {
      fmt::format_to(Append(), "  layer 3    log code 0x{:04X}  message type 0x{:02X}  sub-code 0x{:02X}\n",
                     item.LogCode(), item.MessageType(), item.SubCode());
      fmt::format_to(Append(), "  body       {}\n", HexBytes(item.text));
    } else {
      AppendIndented(item.text);
    }
    AppendParams("current", item.current);
    AppendParams("inherited", item.inherited);
    buffer_ += '\n';
  }

  void AppendIndented(std::string_view text) {
    buffer_ += "  text\n";
    while (!text.empty()) {
      const size_t end = text.find('\n');
      const std::string_view row = text.substr(0, end);
      buffer_ += "    ";
      AppendPrintable(&buffer_, row);
      buffer_ += '\n';
      if (end == std::string_view::npos) break;
      text.remove_prefix(end + 1);
    }
  }

  void AppendParams(std::string_view label, const std::vector<ParamValue>& params) {
    if (params.empty()) {
      fmt::format_to(Append(), "  {:<10} none\n", label);
      return;
    }
    for (size_t i = 0; i < params.size(); ++i) {
      const ParamValue& p = params[i];
      fmt::format_to(Append(), "  {:<10} 0x{:08X}  {:<22} {:>10}  {}\n", i == 0 ? label : "", p.id,
                     ParamName(p.id), p.stored, RealValue(p.id, p.stored));
    }
  }
};

// The fields a plain C host prints for an item: comparing it with such a
// host's output shows that both read the same items.
class Summary : public Formatter {
 public:
  using Formatter::Formatter;

 private:
  void Format(const Item& item) override {
    fmt::format_to(Append(), "{:08X} {} {} {} {} {} {} {}\n", item.code, item.direction, item.seconds,
                   item.micros, item.text.size(), item.raw.size(), item.current.size(),
                   item.inherited.size());
  }
};

}  // namespace

std::unique_ptr<ItemSink> MakeFormatter(std::string_view format, Output* out) {
  if (format == "jsonl") return std::make_unique<JsonLines>(out);
  if (format == "csv") return std::make_unique<Csv>(out);
  if (format == "text") return std::make_unique<Text>(out);
  if (format == "summary") return std::make_unique<Summary>(out);
  return nullptr;
}

}  // namespace wendrake_cli
