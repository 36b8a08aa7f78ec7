// Escaping of log bytes for the output formats. A log may hold binary bytes
// and NULs; every output stays valid UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace wendrake_cli {

// Length of the well-formed UTF-8 sequence at the start of `bytes` (1 to 4),
// or 0 when it does not start with one (overlong forms, surrogates and code
// points above U+10FFFF are not well-formed).
size_t Utf8SequenceLength(std::string_view bytes);

// Appends `bytes` as a JSON string, quotes included. Control bytes become
// \u00XX (or \n, \t, ...), and a byte that is not part of well-formed UTF-8
// becomes \u00XX as well, that is the code point of the same number.
void AppendJson(std::string* out, std::string_view bytes);

// Appends `bytes` as text safe to show on a terminal: tabs and newlines
// stay; every other control byte (a bare CR included), the two bytes of a
// C1 control and bytes outside well-formed UTF-8 become \xNN.
void AppendPrintable(std::string* out, std::string_view bytes);
std::string Printable(std::string_view bytes);

// Printable, with newlines escaped too: for one-line messages.
std::string OneLine(std::string_view bytes);

// Appends one CSV field (RFC 4180): the printable form of `bytes`, quoted
// when it holds a comma, a quote or a newline.
void AppendCsv(std::string* out, std::string_view bytes);

}  // namespace wendrake_cli
