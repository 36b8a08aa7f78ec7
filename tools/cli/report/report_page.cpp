#include "report/report_page.h"

#include <fmt/format.h>

#include <cmath>
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

// The columns of the given items: t (clock), line, and the named extras.
class Columns {
 public:
  Columns(const DriveView& view, std::vector<size_t> rows) : view_(view), rows_(std::move(rows)) {}
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
  void Kpis(std::string* out, const std::vector<size_t>& kpis) const {
    *out += "\"kpi\":";
    Array(out, kpis.size(), [&](std::string* o, size_t k) {
      Array(o, rows_.size(), [&](std::string* p, size_t i) { Number(p, view_.items[rows_[i]].kpis[kpis[k]]); });
    });
  }

 private:
  const DriveView& view_;
  std::vector<size_t> rows_;
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

std::string ReportJson(const DriveView& view, const std::string& title, int kpi) {
  const std::vector<size_t> vertices = RouteVertices(view);
  const Columns route(view, Thin(vertices, kMaxRoutePoints));
  const Columns series(view, Thin(Where(view, [](const DriveItem& item) { return item.clockMs != kNoClock; }),
                                  kMaxSeriesPoints));
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
  int first = DefaultKpi(view, shown), evdo = -1;
  for (size_t k = 0; k < shown.size(); ++k) {
    if (kpi >= 0 && shown[k] == static_cast<size_t>(kpi)) first = static_cast<int>(k);
    if (view.kpiNames[shown[k]] == "EvdoState") evdo = static_cast<int>(k);
  }
  size_t positioned = 0;
  for (const DriveItem& item : view.items) positioned += item.positioned();

  std::string out = "{\"title\":";
  Text(&out, title);
  out += fmt::format(",\"summary\":{{\"lines\":{},\"items\":{},\"positioned\":{},\"fixes_accepted\":{},"
                     "\"fixes_rejected\":{},\"route_vertices\":{}}}",
                     view.lines, view.items.size(), positioned, view.fixesAccepted, view.fixesRejected,
                     vertices.size());
  out += ",\"kpis\":";
  Array(&out, shown.size(), [&](std::string* o, size_t k) { Text(o, view.kpiNames[shown[k]]); });
  out += fmt::format(",\"default_kpi\":{},\"evdo_kpi\":{}", first, evdo);

  out += ",\"route\":{";
  route.Times(&out);
  route.Column(&out, "lat", [](std::string* o, const DriveItem& item) { *o += fmt::format("{:.7f}", item.latitude); });
  route.Column(&out, "lon", [](std::string* o, const DriveItem& item) { *o += fmt::format("{:.7f}", item.longitude); });
  route.Kpis(&out, shown);
  out += "},\"series\":{";
  series.Times(&out);
  series.Kpis(&out, shown);

  out += "},\"events\":{";
  const Columns events(view, eventRows);
  events.Times(&out);
  events.Column(&out, "lat", [](std::string* o, const DriveItem& item) { Number(o, item.latitude); });
  events.Column(&out, "lon", [](std::string* o, const DriveItem& item) { Number(o, item.longitude); });
  events.Column(&out, "name", [](std::string* o, const DriveItem& item) {
    Text(o, item.eventName.empty() ? fmt::format("event 0x{:04X}", item.code & 0xFFFF) : item.eventName);
  });
  out.pop_back();

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

std::string ReportPage(const DriveView& view, const std::string& title, int kpi) {
  const std::string data = ReportJson(view, title, kpi);
  const std::string nonce = Nonce();
  return FillTemplate(kReportHtml, {{"NONCE", nonce},
                                    {"LEAFLET_CSS", kLeafletCss},
                                    {"REPORT_CSS", kReportCss},
                                    {"DATA", data},
                                    {"LEAFLET_JS", kLeafletJs},
                                    {"REPORT_JS", kReportJs}});
}

}  // namespace wendrake_cli
