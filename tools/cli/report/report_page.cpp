#include "report/report_page.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "format/text_escape.h"
#include "report/report_assets.h"

namespace wendrake_cli {
namespace {

// KPIs the route is coloured by when the reader names none, in order of preference.
constexpr const char* kUsualKpis[] = {"Rxagc", "Total_EcIo", "Txpower", "Total_SINR", "EV_RxRLPThroughput"};

// A JSON array of `count` values, each written by `write(out, index)`.
template <typename Write>
void Array(std::string* out, size_t count, Write write) {
  *out += '[';
  for (size_t i = 0; i < count; ++i) {
    if (i > 0) *out += ',';
    write(out, i);
  }
  *out += ']';
}

void Number(std::string* out, double value) {
  if (std::isnan(value) || std::isinf(value)) *out += "null";
  else *out += fmt::format("{}", value);
}

void Clock(std::string* out, int64_t clockMs) {
  if (clockMs == kNoClock) *out += "null";
  else *out += fmt::format("{}", clockMs);
}

void Text(std::string* out, const std::string& text) { AppendJson(out, text); }

// Named columns of `count` rows, each value written by `write(out, row)`.
template <typename Write>
void Column(std::string* out, const char* name, size_t count, Write write) {
  *out += fmt::format("\"{}\":", name);
  Array(out, count, write);
  *out += ',';
}

// Thinned rows: their times, lines and what `extra` adds, then their KPIs.
template <typename Extra>
void ThinnedColumns(std::string* out, const ThinnedRows& thin, Extra extra) {
  const std::vector<ThinRow>& rows = thin.rows;
  Column(out, "t", rows.size(), [&](std::string* o, size_t i) { Clock(o, rows[i].clockMs); });
  Column(out, "line", rows.size(), [&](std::string* o, size_t i) { *o += fmt::format("{}", rows[i].line); });
  extra(out, rows);
  *out += "\"kpi\":";
  Array(out, thin.kpis.size(), [&](std::string* o, size_t k) {
    Array(o, rows.size(), [&](std::string* p, size_t i) { Number(p, thin.kpis[k][i]); });
  });
}

int DefaultKpi(const std::vector<DriveKpi>& kpis, const std::vector<size_t>& shown) {
  for (const char* name : kUsualKpis) {
    for (size_t k = 0; k < shown.size(); ++k) {
      if (kpis[shown[k]].name == name) return static_cast<int>(k);
    }
  }
  return shown.empty() ? -1 : 0;
}

// A fresh nonce per page: only the page's own scripts carry it, so the page's
// content security policy refuses any other script.
std::string Nonce() {
  std::random_device random;
  return fmt::format("{:08x}{:08x}{:08x}{:08x}", random(), random(), random(), random());
}

}  // namespace

ReportBuilder::ReportBuilder() : route_(kMaxRoutePoints), series_(kMaxSeriesPoints) {}

void ReportBuilder::Add(const DriveReader& reader) {
  const size_t kpiCount = reader.kpis().size();
  if (routeValues_.size() < kpiCount) routeValues_.resize(kpiCount);
  if (hasValue_.size() < kpiCount) hasValue_.resize(kpiCount, false);
  for (const DriveItem& item : reader.items()) {
    const ThinRow row{item.line, item.clockMs, item.latitude, item.longitude, item.evdoState, item.servingCell};
    const double* kpis = item.kpis.data();
    const size_t count = item.kpis.size();
    for (size_t k = 0; k < count; ++k) {
      if (!std::isnan(kpis[k])) hasValue_[k] = true;
    }
    if (item.positioned()) {
      // A run of items at one fix is one group: drawn as one point, or two
      // when its KPIs vary.
      const bool moved = !lastPositioned_ || item.latitude != lastLatitude_ || item.longitude != lastLongitude_;
      route_.Add(row, kpis, count, moved);
      for (size_t k = 0; k < count; ++k) routeValues_[k].Add(kpis[k]);
      lastPositioned_ = true, lastLatitude_ = item.latitude, lastLongitude_ = item.longitude;
      ++positioned_;
    }
    if (item.clockMs != kNoClock) {
      series_.Add(row, kpis, count, true);
      if (earliest_ == kNoClock || item.clockMs < earliest_) earliest_ = item.clockMs;
      if (latest_ == kNoClock || item.clockMs > latest_) latest_ = item.clockMs;
    }
    if (item.isEvent()) {
      std::string kind = EventKindName(item.eventName, item.code);
      ++eventKinds_[kind];
      if (eventCount_++ < static_cast<int64_t>(kMaxEvents)) {
        events_.push_back(Event{item.clockMs, item.line, item.latitude, item.longitude, std::move(kind)});
      }
    }
    if (item.isSignalling() && signallingCount_++ < static_cast<int64_t>(kMaxSignalling)) {
      signalling_.push_back(Message{item.clockMs, item.line, item.direction, ChannelName(item.logCode),
                                    item.message.empty() ? fmt::format("message 0x{:08X}", item.code)
                                                         : item.message});
    }
  }
  for (const DriveLabel& label : reader.labels()) {
    if (labelCount_++ < static_cast<int64_t>(kMaxLabels)) labels_.push_back(label);
  }
}

std::string ReportBuilder::Json(const DriveReader& reader, const std::string& title,
                                const RouteColouring& colouring) const {
  const std::vector<DriveKpi>& kpis = reader.kpis();
  // The KPIs shown: those with a value somewhere in the log, in the
  // catalogue's order whatever order they first came in.
  std::vector<size_t> shown;
  for (size_t k = 0; k < hasValue_.size() && k < kpis.size(); ++k) {
    if (hasValue_[k]) shown.push_back(k);
  }
  // The tool's own KPIs (the serving cell's distance) after the parameters.
  auto order = [&](size_t k) {
    const int slot = wendrake_param_slot(kpis[k].id);
    return slot < 0 ? std::numeric_limits<int>::max() : slot;
  };
  std::stable_sort(shown.begin(), shown.end(), [&](size_t a, size_t b) { return order(a) < order(b); });
  const int chosen = colouring.kpi.empty() ? -1 : KpiIndexOf(kpis, colouring.kpi);
  int first = DefaultKpi(kpis, shown);
  for (size_t k = 0; k < shown.size(); ++k) {
    if (chosen >= 0 && shown[k] == static_cast<size_t>(chosen)) first = static_cast<int>(k);
  }
  const ThinnedRows route = route_.Finish(shown);
  const ThinnedRows series = series_.Finish(shown);

  std::string out = "{\"title\":";
  Text(&out, title);
  out += fmt::format(",\"summary\":{{\"lines\":{},\"items\":{},\"positioned\":{},\"fixes_accepted\":{},"
                     "\"fixes_rejected\":{},\"route_fixes\":{},\"route_thinned\":{},\"series_thinned\":{},"
                     "\"events\":{},\"signalling\":{},\"labels\":{},",
                     reader.lines(), reader.rows(), positioned_, reader.fixesAccepted(), reader.fixesRejected(),
                     route.groups, route.thinned, series.thinned, eventCount_, signallingCount_, labelCount_);
  out += "\"earliest\":";
  Clock(&out, earliest_);
  out += ",\"latest\":";
  Clock(&out, latest_);
  out += '}';
  out += ",\"kpis\":";
  Array(&out, shown.size(), [&](std::string* o, size_t k) { Text(o, kpis[shown[k]].name); });
  out += ",\"kpi_units\":";
  Array(&out, shown.size(), [&](std::string* o, size_t k) { Text(o, kpis[shown[k]].unit); });
  out += fmt::format(",\"default_kpi\":{}", first);
  // The EV-DO states by name, and the time the drive spent in each.
  out += ",\"evdo_states\":";
  Array(&out, WENDRAKE_EVDO_STATE_COUNT, [](std::string* o, size_t state) {
    Text(o, wendrake_evdo_state_name(static_cast<int>(state)));
  });
  out += ",\"evdo_seconds\":";
  Array(&out, WENDRAKE_EVDO_STATE_COUNT,
        [&](std::string* o, size_t state) { *o += fmt::format("{:.3f}", reader.evdo().seconds[state]); });

  // Each KPI's colour bins, from all its values along the route: the page
  // colours and labels by them and never works out bins of its own.
  out += ",\"bins\":";
  Array(&out, shown.size(), [&](std::string* o, size_t k) {
    const bool isChosen = chosen >= 0 && shown[k] == static_cast<size_t>(chosen);
    const KpiBins bins = KpiBins::OfSketch(routeValues_[shown[k]], colouring.mode, kpis[shown[k]].name,
                                     isChosen ? colouring.edges : std::vector<double>{});
    if (std::isnan(bins.low) && !bins.thresholds) {
      *o += "null";
      return;
    }
    *o += "{\"edges\":";
    Array(o, KpiBins::kCount - 1, [&](std::string* p, size_t e) { Number(p, bins.edges[e]); });
    *o += fmt::format(",\"single\":{},\"colours\":", bins.single());
    Array(o, KpiBins::kCount, [&](std::string* p, size_t b) { Text(p, bins.Colour(static_cast<int>(b))); });
    *o += ",\"labels\":";
    Array(o, KpiBins::kCount, [&](std::string* p, size_t b) { Text(p, bins.Range(static_cast<int>(b))); });
    *o += '}';
  });

  out += ",\"route\":{";
  ThinnedColumns(&out, route, [](std::string* o, const std::vector<ThinRow>& rows) {
    Column(o, "lat", rows.size(), [&](std::string* p, size_t i) { *p += fmt::format("{:.7f}", rows[i].latitude); });
    Column(o, "lon", rows.size(), [&](std::string* p, size_t i) { *p += fmt::format("{:.7f}", rows[i].longitude); });
    // Each point's serving cell (an index into "cells"; -1: none known).
    Column(o, "serving", rows.size(), [&](std::string* p, size_t i) { *p += fmt::format("{}", rows[i].servingCell); });
  });
  out += "},\"series\":{";
  ThinnedColumns(&out, series, [](std::string* o, const std::vector<ThinRow>& rows) {
    Column(o, "evdo", rows.size(), [&](std::string* p, size_t i) {
      if (rows[i].evdoState < 0) *p += "null";
      else *p += fmt::format("{}", rows[i].evdoState);
    });
  });

  const std::vector<Event>& ev = events_;
  out += "},\"events\":{";
  Column(&out, "t", ev.size(), [&](std::string* o, size_t i) { Clock(o, ev[i].clockMs); });
  Column(&out, "line", ev.size(), [&](std::string* o, size_t i) { *o += fmt::format("{}", ev[i].line); });
  Column(&out, "lat", ev.size(), [&](std::string* o, size_t i) { Number(o, ev[i].latitude); });
  Column(&out, "lon", ev.size(), [&](std::string* o, size_t i) { Number(o, ev[i].longitude); });
  Column(&out, "name", ev.size(), [&](std::string* o, size_t i) { Text(o, ev[i].name); });
  out.pop_back();
  // The kinds of event, most frequent first, with the colours the legend and
  // the map's styles give them.
  const std::vector<EventKind> kinds = RankEventKinds(eventKinds_);
  out += "},\"event_kinds\":{\"name\":";
  Array(&out, kinds.size(), [&](std::string* o, size_t k) { Text(o, kinds[k].name); });
  out += ",\"count\":";
  Array(&out, kinds.size(), [&](std::string* o, size_t k) { *o += fmt::format("{}", kinds[k].count); });
  out += ",\"colour\":";
  Array(&out, kinds.size(), [&](std::string* o, size_t k) { Text(o, EventKindColour(k)); });

  // The cells heard (those without a position have null coordinates), each
  // neighbour PN with the cell it links to (-1: none heard).
  const std::vector<DriveCell>& cells = reader.cells();
  out += "},\"cells\":{";
  Column(&out, "lat", cells.size(), [&](std::string* o, size_t c) { Number(o, cells[c].latitude); });
  Column(&out, "lon", cells.size(), [&](std::string* o, size_t c) { Number(o, cells[c].longitude); });
  Column(&out, "pn", cells.size(), [&](std::string* o, size_t c) { *o += fmt::format("{}", cells[c].pilotPn); });
  Column(&out, "tech", cells.size(), [&](std::string* o, size_t c) { Text(o, cells[c].TechnologyName()); });
  Column(&out, "id", cells.size(), [&](std::string* o, size_t c) { Text(o, cells[c].Id()); });
  Column(&out, "label", cells.size(), [&](std::string* o, size_t c) { Text(o, cells[c].Label()); });
  Column(&out, "neighbours", cells.size(), [&](std::string* o, size_t c) {
    Array(o, cells[c].neighbours.size(), [&](std::string* p, size_t n) { *p += fmt::format("{}", cells[c].neighbours[n]); });
  });
  Column(&out, "neighbour_cells", cells.size(), [&](std::string* o, size_t c) {
    Array(o, cells[c].neighbourCells.size(),
          [&](std::string* p, size_t n) { *p += fmt::format("{}", cells[c].neighbourCells[n]); });
  });
  out.pop_back();

  const std::vector<Message>& sig = signalling_;
  out += "},\"signalling\":{";
  Column(&out, "t", sig.size(), [&](std::string* o, size_t i) { Clock(o, sig[i].clockMs); });
  Column(&out, "line", sig.size(), [&](std::string* o, size_t i) { *o += fmt::format("{}", sig[i].line); });
  Column(&out, "dir", sig.size(), [&](std::string* o, size_t i) { *o += fmt::format("{}", sig[i].direction); });
  Column(&out, "channel", sig.size(), [&](std::string* o, size_t i) { Text(o, sig[i].channel); });
  Column(&out, "message", sig.size(), [&](std::string* o, size_t i) { Text(o, sig[i].message); });
  out.pop_back();

  // The drive script's labels, shown on the time axis.
  const std::vector<DriveLabel>& labels = labels_;
  out += "},\"labels\":{\"t\":";
  Array(&out, labels.size(), [&](std::string* o, size_t i) { Clock(o, labels[i].clockMs); });
  out += ",\"line\":";
  Array(&out, labels.size(), [&](std::string* o, size_t i) { *o += fmt::format("{}", labels[i].line); });
  out += ",\"text\":";
  Array(&out, labels.size(), [&](std::string* o, size_t i) { Text(o, labels[i].text); });
  out += "}}";
  return ScriptSafeJson(out);
}

std::string ScriptSafeJson(std::string_view json) {
  std::string out;
  out.reserve(json.size());
  for (size_t i = 0; i < json.size(); ++i) {
    const char c = json[i];
    if (c == '<') out += "\\u003c";
    else if (c == '>') out += "\\u003e";
    else if (c == '&') out += "\\u0026";
    else if (c == '\xE2' && json.substr(i + 1, 2) == "\x80\xA8") out += "\\u2028", i += 2;
    else if (c == '\xE2' && json.substr(i + 1, 2) == "\x80\xA9") out += "\\u2029", i += 2;
    else out += c;
  }
  return out;
}

std::string FillTemplate(std::string_view page, const std::vector<std::pair<std::string, std::string_view>>& values) {
  std::string out;
  size_t at = 0;
  while (at < page.size()) {
    const size_t open = page.find('@', at);
    if (open == std::string_view::npos) break;
    const size_t close = page.find('@', open + 1);
    if (close == std::string_view::npos) break;
    const std::string_view name = page.substr(open + 1, close - open - 1);
    const std::string_view* value = nullptr;
    for (const auto& [key, text] : values) {
      if (key == name) value = &text;
    }
    if (value == nullptr) {
      // Not a placeholder: keep the "@" and look again from the next one.
      out.append(page.substr(at, close - at));
      at = close;
      continue;
    }
    out.append(page.substr(at, open - at));
    out.append(*value);
    at = close + 1;
  }
  out.append(page.substr(at));
  return out;
}

std::string ReportPage(std::string_view json) {
  const std::string nonce = Nonce();
  return FillTemplate(kReportHtml, {{"NONCE", nonce},
                                    {"LEAFLET_CSS", kLeafletCss},
                                    {"REPORT_CSS", kReportCss},
                                    {"DATA", json},
                                    {"LEAFLET_JS", kLeafletJs},
                                    {"REPORT_JS", kReportJs}});
}

}  // namespace wendrake_cli
