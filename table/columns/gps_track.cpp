#include "table/columns/gps_track.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <string>

#include "text/tab_fields.h"

namespace wendrake {
namespace {

constexpr std::string_view kToken = "GPS";

bool NameIs(std::string_view field, std::initializer_list<std::string_view> names) {
  for (std::string_view name : names) {
    if (field.size() == name.size() &&
        std::equal(field.begin(), field.end(), name.begin(), [](char a, char b) {
          return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
        })) {
      return true;
    }
  }
  return false;
}

bool IsBlank(char c) { return c == ' ' || c == '\r'; }

}  // namespace

GpsTrack::Reading GpsTrack::ReadField(std::string_view field, std::string_view hemispheres, double* value) {
  while (!field.empty() && IsBlank(field.front())) field.remove_prefix(1);
  while (!field.empty() && IsBlank(field.back())) field.remove_suffix(1);
  if (field.empty()) return kAbsent;
  double sign = 1;
  if (!hemispheres.empty()) {
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(field.back())));
    if (letter == hemispheres[0] || letter == hemispheres[1]) {
      if (field.front() == '-' || field.front() == '+') return kMalformed;  // "-30S": which way?
      sign = letter == hemispheres[1] ? -1 : 1;
      field.remove_suffix(1);
    }
  }
  const bool negative = !field.empty() && field.front() == '-';
  if (!field.empty() && (field.front() == '-' || field.front() == '+')) field.remove_prefix(1);
  // Digits with at most one decimal point, and at least one digit: no
  // exponent, no hexadecimal, no comma, nothing after the number.
  size_t digits = 0, points = 0;
  for (const char c : field) {
    if (c >= '0' && c <= '9') ++digits;
    else if (c == '.') ++points;
    else return kMalformed;
  }
  if (digits == 0 || points > 1) return kMalformed;
  double magnitude = 0;
  const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), magnitude,
                                            std::chars_format::fixed);
  if (error != std::errc() || end != field.data() + field.size()) return kMalformed;
  *value = (negative ? -magnitude : magnitude) * sign;
  return kRead;
}

double DistanceMetres(double lat1, double lon1, double lat2, double lon2) {
  constexpr double kEarthRadius = 6371008.8;  // mean radius, metres
  constexpr double kRadians = 3.14159265358979323846 / 180;
  const double dLat = (lat2 - lat1) * kRadians;
  const double dLon = (lon2 - lon1) * kRadians;
  const double a = std::sin(dLat / 2) * std::sin(dLat / 2) +
                   std::cos(lat1 * kRadians) * std::cos(lat2 * kRadians) * std::sin(dLon / 2) * std::sin(dLon / 2);
  return 2 * kEarthRadius * std::asin(std::min(1.0, std::sqrt(a)));
}

void GpsTrack::Register(std::string_view lineText) {
  int mapped[kFieldCount];
  std::fill(std::begin(mapped), std::end(mapped), -1);
  TabFields fields(lineText);
  std::string_view field;
  int column = 0;
  while (fields.Next(&field)) {
    if (field == "RegReport" || field == kToken) continue;
    if (NameIs(field, {"Latitude", "Lat"})) mapped[kLatitude] = column;
    if (NameIs(field, {"Longitude", "Lon", "Lng", "Long"})) mapped[kLongitude] = column;
    if (NameIs(field, {"Altitude", "Alt"})) mapped[kAltitude] = column;
    if (NameIs(field, {"Speed"})) mapped[kSpeed] = column;
    if (NameIs(field, {"Heading", "Course"})) mapped[kHeading] = column;
    if (NameIs(field, {"Satellites", "Sats", "SatelliteCount"})) mapped[kSatellites] = column;
    ++column;
  }
  std::copy(std::begin(mapped), std::end(mapped), column_);
}

void GpsTrack::Read(std::string_view lineText, bool hasClock, int64_t clockMs) {
  double value[kFieldCount];
  std::fill(std::begin(value), std::end(value), GpsFix::kNone);
  TabFields fields(lineText);
  std::string_view field;
  int column = 0;
  bool malformed = false;
  while (fields.Next(&field)) {
    if (field == kToken) continue;
    for (int f = 0; f < kFieldCount; ++f) {
      if (column_[f] != column) continue;
      const std::string_view hemispheres = f == kLatitude ? "NS" : f == kLongitude ? "EW" : "";
      malformed = malformed || ReadField(field, hemispheres, &value[f]) == kMalformed;
    }
    ++column;
  }
  if (malformed) {
    ++rejected_;
    return;
  }
  GpsFix fix;
  fix.latitude = value[kLatitude];
  fix.longitude = value[kLongitude];
  fix.altitude = value[kAltitude];
  fix.speed = value[kSpeed];
  fix.heading = value[kHeading];
  fix.satellites = value[kSatellites];
  fix.hasClock = hasClock;
  fix.clockMs = clockMs;

  const bool valid = std::isfinite(fix.latitude) && std::isfinite(fix.longitude) &&
                     std::fabs(fix.latitude) <= 90 && std::fabs(fix.longitude) <= 180 &&
                     !(fix.latitude == 0 && fix.longitude == 0);
  if (!valid) {
    ++rejected_;
    return;
  }
  if (count_ > 0 && !Reachable(last_, fix)) {
    // A jump. Should the kept track itself have been the glitch, fixes that
    // agree with each other away from it take over after a few.
    jumpRun_ = jumpRun_ > 0 && Reachable(jumpLast_, fix) ? jumpRun_ + 1 : 1;
    jumpLast_ = fix;
    if (jumpRun_ < kJumpRunToFollow) {
      ++rejected_;
      return;
    }
  }
  jumpRun_ = 0;
  last_ = fix;
  ++count_;
}

bool GpsTrack::Reachable(const GpsFix& from, const GpsFix& to) {
  double seconds = 1;
  if (from.hasClock && to.hasClock) seconds = std::max(1.0, (to.clockMs - from.clockMs) / 1000.0);
  return DistanceMetres(from.latitude, from.longitude, to.latitude, to.longitude) <=
         kMaxMetresPerSecond * seconds;
}

}  // namespace wendrake
