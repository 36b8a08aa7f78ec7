// Values of fields in the units and names the standards define.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "fields/field.h"
#include "fields/layout.h"

namespace wendrake {

// The raw bits of a `width`-bit two's complement field as a signed number.
int64_t SignExtend(uint64_t raw, int32_t width);

// The unit a conversion gives its real value ("deg", "dB", "min", "s"), or
// empty when it gives none.
std::string_view UnitOf(Conv conv);

// Fills field.real/unit/text from field.raw as `conv` says.
void ConvertField(Field& field, Conv conv);

// "YYYY-MM-DD hh:mm:ss.sss" of a time given in seconds since the GPS epoch
// (1980-01-06 00:00:00).
std::string GpsTimeText(double seconds);

// Names of the standard's enumerations; empty when the value has none.
std::string_view RegistrationTypeName(uint64_t regType);
std::string_view ServiceOptionName(uint64_t serviceOption);
std::string_view BandClassName(uint64_t bandClass);

}  // namespace wendrake
