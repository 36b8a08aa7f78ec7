// What a drive's script and its tester write beside the measurements: "LAB"
// lines (the script's labels, "Voice call 1 (MO)"), "VOT" lines (a voice
// quality score per codec) and "ENT" lines (waypoints). The decoder yields no
// item for them; the table reads them itself, as it reads the GPS fixes.
//
// Layouts, TAB-separated after the token (no "RegReport" line changes them):
//   LAB  label text (further fields are joined to it by one blank)
//   VOT  score (a decimal number), codec name; further fields are not read
//   ENT  kind ("Waypoint"), number, name
// A "VOT" line whose score is not wholly a decimal number, a "LAB" line
// without text, and an "ENT" line without kind are counted as rejected.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "wendrake/table.h"

namespace wendrake {

enum class NoteKind : int32_t {
  kLabel = WENDRAKE_NOTE_LABEL,
  kVoiceQuality = WENDRAKE_NOTE_VOICE_QUALITY,
  kWaypoint = WENDRAKE_NOTE_WAYPOINT
};

// The notes of a log (or of one piece of it), one entry per line, in line order.
struct LineNotes {
  std::vector<int64_t> line;     // physical line, from 1
  std::vector<int64_t> clockMs;  // the log's clock at the line, or the table's kNoClock
  std::vector<int32_t> kind;     // NoteKind
  std::vector<double> value;     // VOT: the score; ENT: the number (NaN if none); LAB: NaN
  std::vector<int32_t> text;     // category of `names`: LAB the label, VOT the codec, ENT
                                 // "kind name" ("Waypoint Stadium junction"); -1 for none
  std::vector<double> latitude;  // the last GPS fix at or before the line; NaN before the first
  std::vector<double> longitude;
  std::vector<std::string> names;  // the categories, kept from piece to piece
  uint64_t rejected = 0;           // lines of the log so far that were rejected

  size_t size() const { return line.size(); }
  // Empties the entries for the next piece; the names stay.
  void ClearEntries();
};

class NoteReader {
 public:
  // True when `lineText` is a "LAB", "VOT" or "ENT" line (its first word).
  static bool IsNoteLine(std::string_view lineText);

  // Reads one such line into `notes`; false when it is rejected. The label
  // of the last "LAB" line stays current for the rows that follow.
  bool Read(std::string_view lineText, int64_t lineNumber, int64_t clockMs, double latitude,
            double longitude, LineNotes* notes);

  // Category (in `notes`' names) of the current label, -1 before the first.
  int32_t label() const { return label_; }

 private:
  int32_t NameOf(std::string_view text, LineNotes* notes);

  std::unordered_map<std::string, int32_t> index_;
  int32_t label_ = -1;
};

}  // namespace wendrake
