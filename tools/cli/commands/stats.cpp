#include "commands/stats.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>

#include "format/item_model.h"
#include "format/param_info.h"
#include "format/text_escape.h"

namespace wendrake_cli {
namespace {

using Appender = std::back_insert_iterator<std::string>;

constexpr const char* kOtherTokens = "(other tokens)";

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

void Stats::AddPiece(const LogTable& piece) {
  // A piece has at most one item per line, in line order: walking the lines
  // beside its rows tells lines with an item from lines without.
  for (size_t row = 0; row < piece.rows(); ++row) {
    const auto number = static_cast<uint64_t>(piece.line()[row]);
    if (number != line_.number) {
      while (NextLine() && line_.number < number) AddLineWithoutItem();
      ++itemLines_;
    }
    AddItem(row, piece, line_.token());
  }
  unterminatedLast_ = piece.unterminated();
  AddSettings(piece);
  AddEvdoStates(piece);
  AddVoiceQuality(piece);
}

void Stats::Finish() {
  while (NextLine()) AddLineWithoutItem();
}

bool Stats::NextLine() {
  if (!walker_.Next(&line_)) return false;
  ++lines_;
  if (line_.length() > kKeptLineBytes) ++longLines_;
  return true;
}

void Stats::AddLineWithoutItem() {
  const std::string_view token = line_.token();
  emptyByRecord_.Add(token.empty() ? std::string_view("(blank)") : token);
}

void Stats::AddItem(size_t row, const LogTable& table, std::string_view token) {
  ++items_;
  byRecord_.Add(token);
  const uint32_t code = table.code()[row];
  if (byCode_.Add(code)) codeRecord_[code] = std::string(token);
  const uint32_t seconds = table.stamp()[row];
  if (HasClock(seconds)) {
    const Stamp stamp{seconds, table.stampMicros()[row]};
    if (!haveClock_) {
      first_ = earliest_ = latest_ = stamp;
      haveClock_ = true;
    }
    if (stamp.Micros() < last_.Micros()) ++backwardJumps_;
    if (stamp.Micros() < earliest_.Micros()) earliest_ = stamp;
    if (stamp.Micros() > latest_.Micros()) latest_ = stamp;
    last_ = stamp;
  }
}

Stats::Summary& Stats::SummaryOf(uint32_t id) {
  const size_t at = (id * 0x9E3779B1u) >> (32 - kCacheBits);
  if (cached_[at] == nullptr || cachedIds_[at] != id) {
    cached_[at] = &params_[id];
    cachedIds_[at] = id;
  }
  return *cached_[at];
}

void Stats::AddSettings(const LogTable& table) {
  // The values the items' own lines set (kTableFlags), in real units and
  // item order: sums run in item order as the mean always did.
  const WendrakeSettings& settings = table.settings();
  for (int64_t i = 0; i < settings.count; ++i) {
    const uint32_t id = settings.ids[i];
    SummaryOf(id).Add(settings.values[i]);
  }
}

void Stats::AddVoiceQuality(const LogTable& table) {
  WendrakeNotes notes{};
  if (wendrake_table_notes(table.table(), &notes) != WENDRAKE_OK) return;
  for (int64_t i = 0; i < notes.count; ++i) {
    if (notes.kinds[i] != WENDRAKE_NOTE_VOICE_QUALITY) continue;
    const int32_t text = notes.texts[i];
    voiceQuality_[text >= 0 && text < notes.nameCount ? notes.names[text] : ""].Add(notes.values[i]);
  }
}

void Stats::AddEvdoStates(const LogTable& table) {
  // The library counts the changes and the time in each state; the first
  // changes are listed here, found where the state differs from the last.
  const int32_t* state = table.evdoState();
  int32_t last = evdo_.state;
  for (size_t row = 0; row < table.rows(); ++row) {
    if (state[row] < 0) continue;
    if (last >= 0 && state[row] != last && evdoChanges_.size() < kTableRows) {
      evdoChanges_.push_back(StateChange{static_cast<uint64_t>(table.line()[row]), table.stamp()[row],
                                         table.stampMicros()[row], last, state[row]});
    }
    last = state[row];
  }
  wendrake_evdo_tally_add(&evdo_, table.table());
}

std::string Stats::Text(const std::string& logName, std::string_view module) const {
  std::string out;
  Appender o(out);
  fmt::format_to(o, "log        {} (module {})\n", Printable(logName), module);
  fmt::format_to(o, "lines      {} ({} yielded an item, {} yielded none", lines_, itemLines_, lines_ - itemLines_);
  if (longLines_ > 0) fmt::format_to(o, ", {} longer than {} bytes", longLines_, kKeptLineBytes);
  out += ")\n";
  fmt::format_to(o, "items      {}\n", items_);
  if (haveClock_) {
    fmt::format_to(o, "time span  {} .. {} ({})\n", IsoTime(earliest_.seconds, earliest_.micros),
                   IsoTime(latest_.seconds, latest_.micros),
                   Duration(static_cast<double>(latest_.Micros() - earliest_.Micros()) / 1e6));
    if (backwardJumps_ > 0) {
      fmt::format_to(o, "           the clock goes back {} times (first item {}, last item {})\n",
                     backwardJumps_, IsoTime(first_.seconds, first_.micros), IsoTime(last_.seconds, last_.micros));
    }
  } else {
    out += "time span  no item carries a clock\n";
  }

  const auto appendCounts = [&](const CappedCounts<std::string>& counts, int width) {
    for (const auto& [record, count] : counts.rows()) {
      fmt::format_to(o, "  {:<{}} {:>8}\n", Printable(record), width, count);
    }
    if (counts.others() > 0) fmt::format_to(o, "  {:<{}} {:>8}\n", kOtherTokens, width, counts.others());
  };
  out += "\nitems by record type\n";
  appendCounts(byRecord_, 8);

  out += "\nitems by message code\n";
  for (const auto& [code, count] : byCode_.rows()) {
    fmt::format_to(o, "  0x{:08X} {:>8}  {}\n", code, count, DescribeCode(code, codeRecord_.at(code)));
  }
  if (byCode_.others() > 0) fmt::format_to(o, "  {:<10} {:>8}\n", "(other)", byCode_.others());

  out += "\nparameters set by their lines, in real units\n";
  fmt::format_to(o, "  {:<10}  {:<22} {:<6} {:>8} {:>12} {:>12} {:>12}\n", "id", "name", "unit", "count", "min",
                 "mean", "max");
  for (const auto& [id, s] : params_) {
    fmt::format_to(o, "  0x{:08X}  {:<22} {:<6} {:>8} {:>12.6g} {:>12.6g} {:>12.6g}\n", id, ParamName(id),
                   ParamUnit(id), s.count, s.min, s.Mean(), s.max);
  }

  fmt::format_to(o, "\nEV-DO state changes (0x{:08X} {}): {}\n", WENDRAKE_PARAM_EVDO_STATE,
                 ParamName(WENDRAKE_PARAM_EVDO_STATE), evdo_.changes);
  for (const StateChange& c : evdoChanges_) {
    const std::string iso = IsoTime(c.seconds, c.micros);
    fmt::format_to(o, "  line {:<7} {:<23}  {} -> {}\n", c.line, iso.empty() ? "no clock" : iso,
                   wendrake_evdo_state_name(c.from), wendrake_evdo_state_name(c.to));
  }
  if (static_cast<uint64_t>(evdo_.changes) > evdoChanges_.size()) {
    fmt::format_to(o, "  ... {} more\n", static_cast<uint64_t>(evdo_.changes) - evdoChanges_.size());
  }
  out += "EV-DO time by state:";
  for (int state = 0; state < WENDRAKE_EVDO_STATE_COUNT; ++state) {
    fmt::format_to(o, "{} {} {}", state == 0 ? "" : ",", wendrake_evdo_state_name(state), Duration(evdo_.seconds[state]));
  }
  out += '\n';

  if (!voiceQuality_.empty()) {
    out += "\nvoice quality (VOT lines), by codec\n";
    fmt::format_to(o, "  {:<12} {:>8} {:>12} {:>12} {:>12}\n", "codec", "count", "min", "mean", "max");
    for (const auto& [codec, s] : voiceQuality_) {
      fmt::format_to(o, "  {:<12} {:>8} {:>12.6g} {:>12.6g} {:>12.6g}\n", codec.empty() ? "(none)" : Printable(codec),
                     s.count, s.min, s.Mean(), s.max);
    }
  }

  fmt::format_to(o, "\nlines that yielded no item: {}\n", lines_ - itemLines_);
  appendCounts(emptyByRecord_, 10);
  if (unterminatedLast_) out += "  (the last line has no newline; it was decoded as if it had one)\n";
  return out;
}

std::string Stats::Json() const {
  std::string out;
  Appender o(out);
  fmt::format_to(o, "{{\"lines\":{},\"item_lines\":{},\"items\":{},\"long_lines\":{},", lines_, itemLines_,
                 items_, longLines_);
  if (haveClock_) {
    // Seconds to the millisecond: the clock has no finer resolution, and
    // the difference of two doubles would print binary noise.
    fmt::format_to(o,
                   "\"time_span\":{{\"first\":\"{}\",\"last\":\"{}\",\"earliest\":\"{}\",\"latest\":\"{}\","
                   "\"seconds\":{:.3f},\"backward_jumps\":{}}},",
                   IsoTime(first_.seconds, first_.micros), IsoTime(last_.seconds, last_.micros),
                   IsoTime(earliest_.seconds, earliest_.micros), IsoTime(latest_.seconds, latest_.micros),
                   static_cast<double>(latest_.Micros() - earliest_.Micros()) / 1e6, backwardJumps_);
  } else {
    out += "\"time_span\":null,";
  }
  const auto appendCounts = [&](const CappedCounts<std::string>& counts) {
    out += '{';
    bool first = true;
    for (const auto& [key, count] : counts.rows()) {
      if (!first) out += ',';
      first = false;
      AppendJson(&out, key);
      fmt::format_to(o, ":{}", count);
    }
    if (counts.others() > 0) fmt::format_to(o, "{}\"{}\":{}", first ? "" : ",", kOtherTokens, counts.others());
    out += '}';
  };
  out += "\"items_by_record\":";
  appendCounts(byRecord_);
  out += ",\"items_by_code\":{";
  bool first = true;
  for (const auto& [code, count] : byCode_.rows()) {
    fmt::format_to(o, "{}\"0x{:08X}\":{}", first ? "" : ",", code, count);
    first = false;
  }
  if (byCode_.others() > 0) fmt::format_to(o, "{}\"other\":{}", first ? "" : ",", byCode_.others());
  out += "},\"params\":[";
  first = true;
  for (const auto& [id, s] : params_) {
    fmt::format_to(o, "{}{{\"id\":\"0x{:08X}\",\"name\":", first ? "" : ",", id);
    AppendJson(&out, ParamName(id));
    out += ",\"unit\":";
    AppendJson(&out, ParamUnit(id));
    fmt::format_to(o, ",\"count\":{},\"min\":{},\"mean\":{},\"max\":{}}}", s.count, s.min,
                   s.Mean(), s.max);
    first = false;
  }
  fmt::format_to(o, "],\"evdo_state_change_count\":{},\"evdo_state_changes\":[", evdo_.changes);
  first = true;
  for (const StateChange& c : evdoChanges_) {
    fmt::format_to(o, "{}{{\"line\":{},\"from\":{},\"to\":{}}}", first ? "" : ",", c.line, c.from, c.to);
    first = false;
  }
  out += "],\"evdo_seconds\":{";
  for (int state = 0; state < WENDRAKE_EVDO_STATE_COUNT; ++state) {
    // Milliseconds, as the clock has them: no binary noise in the sums.
    fmt::format_to(o, "{}\"{}\":{:.3f}", state == 0 ? "" : ",", wendrake_evdo_state_name(state),
                   evdo_.seconds[state]);
  }
  out += "},\"voice_quality\":[";
  first = true;
  for (const auto& [codec, s] : voiceQuality_) {
    out += first ? "{\"codec\":" : ",{\"codec\":";
    AppendJson(&out, codec);
    fmt::format_to(o, ",\"count\":{},\"min\":{},\"mean\":{},\"max\":{}}}", s.count, s.min, s.Mean(), s.max);
    first = false;
  }
  fmt::format_to(o, "],\"lines_without_item\":{},\"lines_without_item_by_record\":", lines_ - itemLines_);
  appendCounts(emptyByRecord_);
  fmt::format_to(o, ",\"unterminated_last_line\":{}}}\n", unterminatedLast_ ? "true" : "false");
  return out;
}

}  // namespace wendrake_cli
