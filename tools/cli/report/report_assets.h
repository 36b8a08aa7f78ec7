// Files built into the tool for the report page (report_assets.cmake writes
// their definitions at build time): the page template, its style sheet and
// script from report/, and Leaflet from the system's libjs-leaflet.
#pragma once

#include <string_view>

namespace wendrake_cli {

extern const std::string_view kReportHtml;
extern const std::string_view kReportCss;
extern const std::string_view kReportJs;
extern const std::string_view kLeafletJs;
extern const std::string_view kLeafletCss;

}  // namespace wendrake_cli
