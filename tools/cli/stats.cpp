#include "stats.h"

#include <fmt/format.h>

#include <algorithm>

#include "param_info.h"
#include "text_escape.h"

namespace wendrake_cli {
namespace {

using Appender = std::back_insert_iterator<std::string>;

std::string Printable(std::string_view bytes) {
  std::string out;
  AppendPrintable(&out, bytes);
  return out;
}

std::string Duration(double seconds) {
  const auto whole = static_cast<uint64_t>(seconds);
  const double fraction = seconds - static_cast<double>(whole);
  const uint64_t hours = whole / 3600, minutes = whole / 60 % 60;
  const double rest = static_cast<double>(whole % 60) + fraction;
  if (hours > 0) return fmt::format("{} h {} min {:.3f} s", hours, minutes, rest);
  if (minutes > 0) return fmt::format("{} min {:.3f} s", minutes, rest);
  return fmt::format("{:.3f} s", rest);
}

std::string DescribeCode(uint32_t code, const std::string& record) {
  if (record == "CL3" && code == 0) return "CL3 without a message";
  if (record == "CL3") {
    return fmt::format("CL3 log code 0x{:04X}, message type 0x{:02X}, sub-code 0x{:02X}", code >> 16,
                       (code >> 8) & 0xFF, code & 0xFF);
  }
  if (record == "EVT") return fmt::format("EVT event 0x{:04X}", code & 0xFFFF);
  return Printable(record);
}

}  // namespace

void Stats::OnItem(const Item& item) {
  ++items_;
  ++byRecord_[std::string(item.token)];
  if (++byCode_[item.code] == 1) codeRecord_[item.code] = std::string(item.token);
  if (HasClock(item.seconds)) {
    if (!haveClock_) {
      firstSeconds_ = item.seconds;
      firstMicros_ = item.micros;
      haveClock_ = true;
    }
    lastSeconds_ = item.seconds;
    lastMicros_ = item.micros;
  }
  for (const ParamValue& p : item.current) {
    const double real = RealValue(p.id, p.stored);
    Summary& s = params_[p.id];
    if (s.count == 0 || real < s.min) s.min = real;
    if (s.count == 0 || real > s.max) s.max = real;
    s.sum += real;
    ++s.count;
    if (p.id == WENDRAKE_PARAM_EVDO_STATE && p.stored != evdoState_) {
      evdoChanges_.push_back(StateChange{item.line, item.seconds, item.micros, evdoState_, p.stored});
      evdoState_ = p.stored;
    }
  }
}

void Stats::OnLine(const LogLine& line, int items) {
  ++lines_;
  if (items > 0) {
    ++itemLines_;
    return;
  }
  if (!line.terminated) unterminatedLast_ = true;
  const std::string_view token = RecordTokenOf(WithoutLineEnd(line.bytes));
  ++emptyByRecord_[token.empty() ? std::string("(blank)") : std::string(token)];
}

std::string Stats::Text(const std::string& logName, std::string_view module) const {
  std::string out;
  Appender o(out);
  fmt::format_to(o, "log        {} (module {})\n", Printable(logName), module);
  fmt::format_to(o, "lines      {} ({} yielded an item, {} yielded none)\n", lines_, itemLines_,
                 lines_ - itemLines_);
  fmt::format_to(o, "items      {}\n", items_);
  if (haveClock_) {
    fmt::format_to(o, "time span  {} .. {} ({})\n", IsoTime(firstSeconds_, firstMicros_),
                   IsoTime(lastSeconds_, lastMicros_),
                   Duration(std::max(0.0, ClockSeconds(lastSeconds_, lastMicros_) -
                                              ClockSeconds(firstSeconds_, firstMicros_))));
  } else {
    out += "time span  no item carries a clock\n";
  }

  out += "\nitems by record type\n";
  for (const auto& [record, count] : byRecord_) fmt::format_to(o, "  {:<8} {:>8}\n", Printable(record), count);

  out += "\nitems by message code\n";
  for (const auto& [code, count] : byCode_) {
    fmt::format_to(o, "  0x{:08X} {:>8}  {}\n", code, count, DescribeCode(code, codeRecord_.at(code)));
  }

  out += "\nparameters set by their lines, in real units\n";
  fmt::format_to(o, "  {:<10}  {:<22} {:>8} {:>12} {:>12} {:>12}\n", "id", "name", "count", "min", "mean", "max");
  for (const auto& [id, s] : params_) {
    fmt::format_to(o, "  0x{:08X}  {:<22} {:>8} {:>12.6g} {:>12.6g} {:>12.6g}\n", id, ParamName(id), s.count,
                   s.min, s.sum / static_cast<double>(s.count), s.max);
  }

  fmt::format_to(o, "\nEV-DO state changes (0x{:08X} {}): {}\n", WENDRAKE_PARAM_EVDO_STATE, ParamName(WENDRAKE_PARAM_EVDO_STATE),
                 evdoChanges_.size());
  for (const StateChange& c : evdoChanges_) {
    const std::string iso = IsoTime(c.seconds, c.micros);
    fmt::format_to(o, "  line {:<7} {:<23}  {} -> {}\n", c.line, iso.empty() ? "no clock" : iso,
                   c.from < 0 ? std::string("none") : std::to_string(c.from), c.to);
  }

  fmt::format_to(o, "\nlines that yielded no item: {}\n", lines_ - itemLines_);
  for (const auto& [record, count] : emptyByRecord_) {
    fmt::format_to(o, "  {:<10} {:>8}\n", Printable(record), count);
  }
  if (unterminatedLast_) out += "  (the last line has no newline and was not decoded)\n";
  return out;
}

std::string Stats::Json() const {
  std::string out;
  Appender o(out);
  fmt::format_to(o, "{{\"lines\":{},\"item_lines\":{},\"items\":{},", lines_, itemLines_, items_);
  if (haveClock_) {
    fmt::format_to(o, "\"time_span\":{{\"first\":\"{}\",\"last\":\"{}\",\"seconds\":{}}},",
                   IsoTime(firstSeconds_, firstMicros_), IsoTime(lastSeconds_, lastMicros_),
                   ClockSeconds(lastSeconds_, lastMicros_) - ClockSeconds(firstSeconds_, firstMicros_));
  } else {
    out += "\"time_span\":null,";
  }
  const auto appendCounts = [&](const std::map<std::string, uint64_t>& counts) {
    out += '{';
    bool first = true;
    for (const auto& [key, count] : counts) {
      if (!first) out += ',';
      first = false;
      AppendJson(&out, key);
      fmt::format_to(o, ":{}", count);
    }
    out += '}';
  };
  out += "\"items_by_record\":";
  appendCounts(byRecord_);
  out += ",\"items_by_code\":{";
  bool first = true;
  for (const auto& [code, count] : byCode_) {
    fmt::format_to(o, "{}\"0x{:08X}\":{}", first ? "" : ",", code, count);
    first = false;
  }
  out += "},\"params\":[";
  first = true;
  for (const auto& [id, s] : params_) {
    fmt::format_to(o, "{}{{\"id\":\"0x{:08X}\",\"name\":", first ? "" : ",", id);
    AppendJson(&out, ParamName(id));
    fmt::format_to(o, ",\"count\":{},\"min\":{},\"mean\":{},\"max\":{}}}", s.count, s.min,
                   s.sum / static_cast<double>(s.count), s.max);
    first = false;
  }
  out += "],\"evdo_state_changes\":[";
  first = true;
  for (const StateChange& c : evdoChanges_) {
    fmt::format_to(o, "{}{{\"line\":{},\"from\":{},\"to\":{}}}", first ? "" : ",", c.line,
                   c.from < 0 ? std::string("null") : std::to_string(c.from), c.to);
    first = false;
  }
  fmt::format_to(o, "],\"lines_without_item\":{},\"lines_without_item_by_record\":", lines_ - itemLines_);
  appendCounts(emptyByRecord_);
  fmt::format_to(o, ",\"unterminated_last_line\":{}}}\n", unterminatedLast_ ? "true" : "false");
  return out;
}

}  // namespace wendrake_cli
