#include "report/report_page.h"

#include <fmt/format.h>

#include <cmath>
#include <random>
#include <vector>

#include "format/text_escape.h"
#include "report/report_assets.h"
#include "view/event_kinds.h"

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

// The columns of the given items: t (clock), line, and the named extras;
// of thinned rows also their KPI values.
class Columns {
 public:
  Columns(const DriveView& view, std::vector<size_t> rows) : view_(view), rows_(std::move(rows)) {}
  Columns(const DriveView& view, const ThinRows& thin) : view_(view), rows_(thin.items), thin_(&thin) {}
  size_t size() const { return rows_.size(); }

  template <typename Write>
  void Column(std::string* out, const char* name, Write write) const {
    *out += fmt::format("\"{}\":", name);
    Array(out, rows_.size(), [&](std::string* o, size_t i) { write(o, view_.items[rows_[i]]); });
    *out += ',';
  }
  void Times(std::string* out) const {
    Column(out, "t", [](std::string* o, const DriveItem& item) { Clock(o, item.clockMs); });
    Column(out, "line", [](std::string* o, const DriveItem& item) { *o += fmt::format("{}", item.line); });
  }
  // The thinned rows' KPI values, in the order the rows were thinned for.
  void Kpis(std::string* out) const {
    *out += "\"kpi\":";
    Array(out, thin_->kpis.size(), [&](std::string* o, size_t k) {
      Array(o, rows_.size(), [&](std::string* p, size_t i) { Number(p, thin_->kpis[k][i]); });
    });
  }

 private:
  const DriveView& view_;
  std::vector<size_t> rows_;
  const ThinRows* thin_ = nullptr;
};

void Text(std::string* out, const std::string& text) { AppendJson(out, text); }

std::vector<size_t> Where(const DriveView& view, bool (*keep)(const DriveItem&)) {
  std::vector<size_t> rows;
  for (size_t i = 0; i < view.items.size(); ++i) {
    if (keep(view.items[i])) rows.push_back(i);
  }
  return rows;
}

int DefaultKpi(const DriveView& view, const std::vector<size_t>& shown) {
  for (const char* name : kUsualKpis) {
    for (size_t k = 0; k < shown.size(); ++k) {
      if (view.kpiNames[shown[k]] == name) return static_cast<int>(k);
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

std::string ReportJson(const DriveView& view, const std::string& title, const RouteColouring& colouring) {
  const int kpi = colouring.kpi;
  const std::vector<size_t> eventRows = Where(view, [](const DriveItem& item) { return item.isEvent(); });
  const std::vector<size_t> signallingRows = Where(view, [](const DriveItem& item) { return item.isSignalling(); });

  // The KPIs shown: those with a value somewhere in the log.
  std::vector<size_t> shown;
  for (size_t k = 0; k < view.kpiNames.size(); ++k) {
    for (const DriveItem& item : view.items) {
      if (!std::isnan(item.kpis[k])) {
        shown.push_back(k);
        break;
      }
    }
  }
  int first = DefaultKpi(view, shown);
  for (size_t k = 0; k < shown.size(); ++k) {
    if (kpi >= 0 && shown[k] == static_cast<size_t>(kpi)) first = static_cast<int>(k);
  }

  // The route: a run of items at one fix is drawn as one point (twice when
  // its KPIs vary), the series item by item; both thinned keeping extremes.
  std::vector<size_t> positionedRows, runEnds;
  RouteRuns(view, &positionedRows, &runEnds);
  const ThinRows routeRows = ThinKeepingExtremes(view, positionedRows, runEnds, shown, kMaxRoutePoints);
  const std::vector<size_t> clocked = Where(view, [](const DriveItem& item) { return item.clockMs != kNoClock; });
  std::vector<size_t> each(clocked.size());
  for (size_t i = 0; i < each.size(); ++i) each[i] = i + 1;
  const ThinRows seriesRows = ThinKeepingExtremes(view, clocked, each, shown, kMaxSeriesPoints);
  int64_t earliest = kNoClock, latest = kNoClock;
  for (size_t row : clocked) {
    const int64_t clock = view.items[row].clockMs;
    if (earliest == kNoClock || clock < earliest) earliest = clock;
    if (latest == kNoClock || clock > latest) latest = clock;
  }
  const Columns route(view, routeRows);
  const Columns series(view, seriesRows);

  std::string out = "{\"title\":";
  Text(&out, title);
  out += fmt::format(",\"summary\":{{\"lines\":{},\"items\":{},\"positioned\":{},\"fixes_accepted\":{},"
                     "\"fixes_rejected\":{},\"route_fixes\":{},\"route_thinned\":{},\"series_thinned\":{},",
                     view.lines, view.items.size(), positionedRows.size(), view.fixesAccepted,
                     view.fixesRejected, runEnds.size(), routeRows.thinned, seriesRows.thinned);
  out += "\"earliest\":";
  Clock(&out, earliest);
  out += ",\"latest\":";
  Clock(&out, latest);
  out += '}';
  out += ",\"kpis\":";
  Array(&out, shown.size(), [&](std::string* o, size_t k) { Text(o, view.kpiNames[shown[k]]); });
  out += ",\"kpi_units\":";
  Array(&out, shown.size(), [&](std::string* o, size_t k) {
    Text(o, shown[k] < view.kpiUnits.size() ? view.kpiUnits[shown[k]] : std::string());
  });
  out += fmt::format(",\"default_kpi\":{}", first);
  // The EV-DO states by name, and the time the drive spent in each.
  out += ",\"evdo_states\":";
  Array(&out, WENDRAKE_EVDO_STATE_COUNT, [](std::string* o, size_t state) {
    Text(o, wendrake_evdo_state_name(static_cast<int>(state)));
  });
  out += ",\"evdo_seconds\":";
  Array(&out, WENDRAKE_EVDO_STATE_COUNT,
        [&](std::string* o, size_t state) { *o += fmt::format("{:.3f}", view.evdo.seconds[state]); });

  // Each KPI's colour bins, from its values along the route: the page
  // colours and labels by them and never works out bins of its own.
  out += ",\"bins\":";
  Array(&out, shown.size(), [&](std::string* o, size_t k) {
    std::vector<double> values;
    for (size_t row : positionedRows) values.push_back(view.items[row].kpis[shown[k]]);
    const bool chosen = kpi >= 0 && shown[k] == static_cast<size_t>(kpi);
    const KpiBins bins = KpiBins::Of(values, colouring.mode, view.kpiNames[shown[k]],
                                     chosen ? colouring.edges : std::vector<double>{});
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
  route.Times(&out);
  route.Column(&out, "lat", [](std::string* o, const DriveItem& item) { *o += fmt::format("{:.7f}", item.latitude); });
  route.Column(&out, "lon", [](std::string* o, const DriveItem& item) { *o += fmt::format("{:.7f}", item.longitude); });
  route.Kpis(&out);
  out += "},\"series\":{";
  series.Times(&out);
  series.Column(&out, "evdo", [](std::string* o, const DriveItem& item) {
    if (item.evdoState < 0) *o += "null";
    else *o += fmt::format("{}", item.evdoState);
  });
  series.Kpis(&out);

  out += "},\"events\":{";
  const Columns events(view, eventRows);
  events.Times(&out);
  events.Column(&out, "lat", [](std::string* o, const DriveItem& item) { Number(o, item.latitude); });
  events.Column(&out, "lon", [](std::string* o, const DriveItem& item) { Number(o, item.longitude); });
  events.Column(&out, "name", [](std::string* o, const DriveItem& item) { Text(o, EventKindName(item.eventName, item.code)); });
  out.pop_back();
  // The kinds of event, most frequent first, with the colours the legend and
  // the map's styles give them.
  std::vector<std::string> eventNames;
  for (size_t row : eventRows) eventNames.push_back(EventKindName(view.items[row].eventName, view.items[row].code));
  const std::vector<EventKind> kinds = RankEventKinds(eventNames);
  out += "},\"event_kinds\":{\"name\":";
  Array(&out, kinds.size(), [&](std::string* o, size_t k) { Text(o, kinds[k].name); });
  out += ",\"count\":";
  Array(&out, kinds.size(), [&](std::string* o, size_t k) { *o += fmt::format("{}", kinds[k].count); });
  out += ",\"colour\":";
  Array(&out, kinds.size(), [&](std::string* o, size_t k) { Text(o, EventKindColour(k)); });

  out += "},\"signalling\":{";
  const Columns signalling(view, signallingRows);
  signalling.Times(&out);
  signalling.Column(&out, "dir", [](std::string* o, const DriveItem& item) { *o += fmt::format("{}", item.direction); });
  signalling.Column(&out, "channel", [](std::string* o, const DriveItem& item) { Text(o, ChannelName(item.logCode)); });
  signalling.Column(&out, "message", [](std::string* o, const DriveItem& item) {
    Text(o, item.message.empty() ? fmt::format("message 0x{:08X}", item.code) : item.message);
  });
  out.pop_back();

  // The drive script's labels, shown on the time axis.
  const std::vector<DriveLabel>& labels = view.labels;
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

std::string ReportPage(const DriveView& view, const std::string& title, const RouteColouring& colouring) {
  const std::string data = ReportJson(view, title, colouring);
  const std::string nonce = Nonce();
  return FillTemplate(kReportHtml, {{"NONCE", nonce},
                                    {"LEAFLET_CSS", kLeafletCss},
                                    {"REPORT_CSS", kReportCss},
                                    {"DATA", data},
                                    {"LEAFLET_JS", kLeafletJs},
                                    {"REPORT_JS", kReportJs}});
}

}  // namespace wendrake_cli
