// The tool's side of the map module (map_module_abi.h): `wendrake map`
// finds wendrake_map.so, loads it and hands it the drive; nothing else in
// the tool loads it, so no other command pays for GDAL's libraries.
#pragma once

#include <string>
#include <vector>

#include "drive_view.h"
#include "map_module_abi.h"

namespace wendrake_cli {

// The files tried for the module, in order. `override` (the environment's
// WENDRAKE_MAP_MODULE) alone when set and not empty; otherwise beside the
// executable `exe` (the build tree), then the installed location, found
// relative to the executable's folder as `installed` says.
std::vector<std::string> MapModuleCandidates(const char* override, const std::string& exe,
                                             const std::string& installed);

class MapModule {
 public:
  // Loads the first candidate there is (the executable's real path from
  // /proc/self/exe). False with a one-line error naming the files tried and
  // the loader's reason; a file that is there but will not load is the
  // error, not a reason to try the next one.
  bool Load(std::string* error);

  // Writes `view` into a new file at `path` with the GDAL driver `driver`,
  // the KML route coloured by KPI `kpi` (-1: none). False with a one-line
  // `error`; the caller removes `path`.
  bool Write(const DriveView& view, const std::string& path, const std::string& driver, int kpi,
             std::string* error) const;

 private:
  WendrakeMapWrite write_ = nullptr;
};

}  // namespace wendrake_cli
