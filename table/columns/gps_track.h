// Positions of a drive test: the fixes of its "GPS" lines, read as the log
// is fed. The decoder yields no item for "GPS" lines; the table reads them
// itself and gives every item the position of the last fix before it.
#pragma once

#include <cstdint>
#include <limits>
#include <string_view>

namespace wendrake {

struct GpsFix {
  static constexpr double kNone = std::numeric_limits<double>::quiet_NaN();
  double latitude = kNone;   // decimal degrees
  double longitude = kNone;
  double altitude = kNone;   // as logged (metres)
  double speed = kNone;      // as logged (km/h)
  double heading = kNone;    // degrees
  double satellites = kNone;
  int64_t clockMs = 0;       // the log's clock at the fix, as UTC milliseconds
  bool hasClock = false;
};

class GpsTrack {
 public:
  // Fixes further than this from the last one, per second between them
  // (at least one second), are rejected as jumps.
  static constexpr double kMaxMetresPerSecond = 300;
  static constexpr int kJumpRunToFollow = 3;

  // A "RegReport" line for "GPS" names its columns: latitude, longitude and
  // the rest are then read by name ("Latitude"/"Lat", "Longitude"/"Lon"/
  // "Lng", "Altitude"/"Alt", "Speed", "Heading"/"Course", "Satellites"/
  // "Sats", any case); without one, by position in that order.
  void Register(std::string_view lineText);

  // Reads one "GPS" line; the fix is kept when every field it reads is a
  // plain decimal number or empty (see ReadField) and the fix is possible:
  // latitude and longitude present, |latitude| <= 90, |longitude| <= 180, not 0/0, and no
  // jump faster than kMaxMetresPerSecond from the last kept fix (unless
  // kJumpRunToFollow fixes in a row agree with each other away from it: then
  // the kept track was the glitch, and the last of them is kept).
  void Read(std::string_view lineText, bool hasClock, int64_t clockMs);

  // A field of a fix, read whole: blanks (and a CR) around are ignored; then
  // an optional sign, digits and at most one decimal point. Latitude and
  // longitude may end in a hemisphere letter instead of a sign, N or S and
  // E or W (any case; S and W negate). Anything else is malformed and the
  // fix rejected: a decimal comma, hexadecimal, an exponent, "inf", other
  // letters, a sign and a letter together.
  enum Reading { kAbsent, kRead, kMalformed };
  static Reading ReadField(std::string_view field, std::string_view hemispheres, double* value);

  // The last kept fix, or null before the first.
  const GpsFix* last() const { return count_ > 0 ? &last_ : nullptr; }
  uint64_t accepted() const { return count_; }
  uint64_t rejected() const { return rejected_; }

 private:
  enum Field { kLatitude, kLongitude, kAltitude, kSpeed, kHeading, kSatellites, kFieldCount };
  // Column of each field, or -1; the positional layout until a registration.
  int column_[kFieldCount] = {0, 1, 2, 3, 4, 5};
  static bool Reachable(const GpsFix& from, const GpsFix& to);

  GpsFix last_;
  GpsFix jumpLast_;  // the last fix rejected as a jump
  int jumpRun_ = 0;  // fixes in a row rejected as jumps that agree with each other
  uint64_t count_ = 0;
  uint64_t rejected_ = 0;
};

// Great-circle distance in metres between two points in decimal degrees.
double DistanceMetres(double lat1, double lon1, double lat2, double lon2);

}  // namespace wendrake
