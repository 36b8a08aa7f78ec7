#include "fields/field_values.h"

#include <cinttypes>
#include <cmath>
#include <cstdio>

namespace wendrake {

namespace {

constexpr double kQuarterSecondsPerDegree = 4.0 * 3600.0;
constexpr double kSysTimeUnitSeconds = 0.080;  // SYS_TIME counts 80 ms frames
constexpr int32_t kLtmOffsetUnitMinutes = 30;
constexpr double kEvdoSystemTimeUnitSeconds = 0.080 / 3.0;  // 26.666 ms, a control channel cycle

struct Name {
  uint32_t value;
  std::string_view name;
};

template <size_t N>
std::string_view Find(const Name (&names)[N], uint64_t value) {
  for (const Name& n : names) {
    if (n.value == value) return n.name;
  }
  return {};
}

// C.S0005 Table 2.7.1.3.2.1-1, registration types (REG_TYPE).
constexpr Name kRegTypes[] = {
    {0, "Timer-based"},          {1, "Power-up"},       {2, "Zone-based"},
    {3, "Power-down"},           {4, "Parameter-change"}, {5, "Ordered"},
    {6, "Distance-based"},       {7, "User Zone-based"},
};

// Service options most often met in drive tests (C.S0005 and the service
// option number assignments of 3GPP2 C.R1001).
constexpr Name kServiceOptions[] = {
    {1, "Basic Variable Rate Voice (8 kbps)"},
    {2, "Mobile Station Loopback (8 kbps)"},
    {3, "Enhanced Variable Rate Codec (EVRC)"},
    {6, "Short Message Services (Rate Set 1)"},
    {9, "Mobile Station Loopback (13 kbps)"},
    {14, "Short Message Services (Rate Set 2)"},
    {17, "High Rate Voice (13 kbps)"},
    {32, "Test Data Service Option (TDSO)"},
    {33, "cdma2000 High Speed Packet Data"},
    {35, "Location Services (Rate Set 1)"},
    {36, "Location Services (Rate Set 2)"},
    {54, "Markov Service Option (MSO)"},
    {55, "Loopback Service Option (LSO)"},
    {68, "EVRC-B"},
    {0x8000, "13K Voice (QCELP)"},
};

// C.S0057, band classes.
constexpr Name kBandClasses[] = {
    {0, "800 MHz cellular"}, {1, "1.8 to 2.0 GHz PCS"}, {2, "872 to 960 MHz TACS"},
    {3, "832 to 925 MHz JTACS"}, {4, "1.75 to 1.87 GHz Korean PCS"}, {5, "450 MHz NMT"},
    {6, "2 GHz IMT-2000"}, {7, "700 MHz"}, {8, "1800 MHz"}, {9, "900 MHz"},
    {10, "Secondary 800 MHz"}, {11, "400 MHz European PAMR"}, {12, "800 MHz PAMR"},
    {13, "2.5 GHz IMT-2000 extension"}, {14, "US PCS 1.9 GHz"}, {15, "AWS"},
};

// Days from 1970-01-01 to the civil date, Howard Hinnant's algorithm.
void CivilFromDays(int64_t days, int& year, unsigned& month, unsigned& day) {
  days += 719468;
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(days - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  day = doy - (153 * mp + 2) / 5 + 1;
  month = mp < 10 ? mp + 3 : mp - 9;
  year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
}

}  // namespace

int64_t SignExtend(uint64_t raw, int32_t width) {
  if (width <= 0 || width >= 64) return static_cast<int64_t>(raw);
  const uint64_t sign = uint64_t{1} << (width - 1);
  raw &= (sign << 1) - 1;
  return static_cast<int64_t>(raw ^ sign) - static_cast<int64_t>(sign);
}

std::string GpsTimeText(double seconds) {
  constexpr int64_t kGpsEpochDays = 3657;  // 1980-01-06 after 1970-01-01
  const int64_t millis = static_cast<int64_t>(std::llround(seconds * 1000.0));
  const int64_t days = millis / 86400000;
  const int64_t inDay = millis % 86400000;
  int year;
  unsigned month, day;
  CivilFromDays(kGpsEpochDays + days, year, month, day);
  char text[40];
  std::snprintf(text, sizeof text, "%04d-%02u-%02u %02d:%02d:%02d.%03d", year, month, day,
                static_cast<int>(inDay / 3600000), static_cast<int>(inDay / 60000 % 60),
                static_cast<int>(inDay / 1000 % 60), static_cast<int>(inDay % 1000));
  return text;
}

std::string_view RegistrationTypeName(uint64_t regType) { return Find(kRegTypes, regType); }
std::string_view ServiceOptionName(uint64_t option) { return Find(kServiceOptions, option); }
std::string_view BandClassName(uint64_t bandClass) { return Find(kBandClasses, bandClass); }

std::string_view UnitOf(Conv conv) {
  switch (conv) {
    case Conv::kLatitude:
    case Conv::kLongitude:
      return "deg";
    case Conv::kNegHalfDb:
    case Conv::kHalfDb:
      return "dB";
    case Conv::kLtmOffset:
      return "min";
    case Conv::kSysTime:
    case Conv::kEvdoSystemTime:
      return "s";
    default:
      return {};
  }
}

void ConvertField(Field& field, Conv conv) {
  field.unit = UnitOf(conv);
  const int64_t signedValue = SignExtend(field.raw, field.width);
  switch (conv) {
    case Conv::kNone:
    case Conv::kOrder:  // named from the whole message once it is decoded
      break;
    case Conv::kSigned:
      field.real = static_cast<double>(signedValue);
      break;
    case Conv::kLatitude:
    case Conv::kLongitude:
      field.real = static_cast<double>(signedValue) / kQuarterSecondsPerDegree;
      break;
    case Conv::kNegHalfDb:
      field.real = -static_cast<double>(field.raw) / 2.0;
      break;
    case Conv::kHalfDb:
      field.real = static_cast<double>(field.raw) / 2.0;
      break;
    case Conv::kLtmOffset:
      field.real = static_cast<double>(signedValue * kLtmOffsetUnitMinutes);
      break;
    case Conv::kSysTime:
      field.real = static_cast<double>(field.raw) * kSysTimeUnitSeconds;
      field.text = GpsTimeText(*field.real) + " GPS";
      break;
    case Conv::kRegType:
      field.text = RegistrationTypeName(field.raw);
      break;
    case Conv::kServiceOption:
      field.text = ServiceOptionName(field.raw);
      break;
    case Conv::kLittleEndian:
      field.raw = (field.raw >> 8 & 0xFF) | (field.raw & 0xFF) << 8;
      break;
    case Conv::kEvdoSystemTime:
      field.real = static_cast<double>(field.raw) * kEvdoSystemTimeUnitSeconds;
      field.text = GpsTimeText(*field.real) + " GPS";
      break;
    case Conv::kBandClass:
      field.text = BandClassName(field.raw);
      break;
  }
}

}  // namespace wendrake
