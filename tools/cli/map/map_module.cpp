#include "map/map_module.h"

#include <dlfcn.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <vector>

#ifndef WENDRAKE_MAP_MODULE_RELATIVE
#error "WENDRAKE_MAP_MODULE_RELATIVE: the module's installed folder relative to the tool's"
#endif

namespace wendrake_cli {
namespace {

// The executable's real path, or "" when /proc does not tell it.
std::string ExecutablePath() {
  std::unique_ptr<char, decltype(&free)> resolved(realpath("/proc/self/exe", nullptr), &free);
  return resolved == nullptr ? "" : resolved.get();
}

std::string Joined(const std::vector<std::string>& paths) {
  std::string joined;
  for (const std::string& path : paths) joined += (joined.empty() ? "" : ", then ") + path;
  return joined;
}

// The files to try, in order (MapModule::Load); `installed` is the
// module's installed folder relative to the executable's.
std::vector<std::string> Candidates(const char* override, const std::string& exe, const std::string& installed) {
  if (override != nullptr && *override != '\0') {
    // A name without a slash would send dlopen through the library search path.
    const std::string path = override;
    return {path.find('/') == std::string::npos ? "./" + path : path};
  }
  const size_t slash = exe.rfind('/');
  if (slash == std::string::npos) return {};
  const std::string folder = exe.substr(0, slash + 1);
  return {folder + WENDRAKE_MAP_MODULE_FILE, folder + installed + "/" + WENDRAKE_MAP_MODULE_FILE};
}

}  // namespace

bool MapModule::Load(std::string* error) {
  const std::vector<std::string> candidates =
      Candidates(std::getenv("WENDRAKE_MAP_MODULE"), ExecutablePath(), WENDRAKE_MAP_MODULE_RELATIVE);
  if (candidates.empty()) {
    *error = "cannot find the map module: /proc/self/exe does not name the tool (set WENDRAKE_MAP_MODULE)";
    return false;
  }
  std::string reason;
  for (const std::string& path : candidates) {
    // Never closed: GDAL's libraries stay until the process ends.
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
      const char* why = dlerror();
      reason = why != nullptr ? why : "unknown reason";
      if (access(path.c_str(), F_OK) == 0) {
        *error = "cannot load the map module " + path + ": " + reason;
        return false;
      }
      continue;
    }
    write_ = reinterpret_cast<WendrakeMapWrite>(dlsym(handle, WENDRAKE_MAP_ENTRY));
    if (write_ == nullptr) {
      *error = "the map module " + path + " has no " WENDRAKE_MAP_ENTRY " (not a wendrake map module?)";
      return false;
    }
    return true;
  }
  *error = "cannot load the map module (tried " + Joined(candidates) + "): " + reason;
#if WENDRAKE_WITH_MAP
  // None of them exists: the module is a package of its own, which a tool
  // installed without its recommended packages lacks.
  *error += "; install the wendrake-map package, or name the module in WENDRAKE_MAP_MODULE";
#else
  *error += "; this build has no map module of its own (GDAL was not found when it was configured)";
#endif
  return false;
}

namespace {

// The module's pull of the next piece, through the tool's source; the first
// failure is kept for the one-line error.
struct Pull {
  MapSource* source;
  std::string error;

  static int Next(void* context, WendrakeMapPiece* piece) {
    Pull* pull = static_cast<Pull*>(context);
    if (pull->source->Next(piece, &pull->error)) return 1;
    return pull->error.empty() ? 0 : -1;
  }
};

}  // namespace

bool MapModule::Write(const MapLayout& layout, MapSource* source, const MapTarget& target, const std::string& driver,
                      std::string* error) const {
  if (write_ == nullptr) {
    *error = "the map module is not loaded";
    return false;
  }
  std::vector<const char*> names;
  names.reserve(layout.attributes.size());
  for (const std::string& name : layout.attributes) names.push_back(name.c_str());
  Pull pull{source, ""};
  std::vector<std::string> cellTexts;  // id, label and neighbours of each cell
  cellTexts.reserve(layout.cells.size() * 3);
  for (const DriveCell& cell : layout.cells) {
    cellTexts.push_back(cell.Id());
    cellTexts.push_back(cell.Label());
    cellTexts.push_back(cell.NeighbourList());
  }
  std::vector<WendrakeMapCell> cells;
  cells.reserve(layout.cells.size());
  for (size_t c = 0; c < layout.cells.size(); ++c) {
    const DriveCell& cell = layout.cells[c];
    cells.push_back(WendrakeMapCell{cell.TechnologyName(), cell.pilotPn, cell.sid, cell.nid, cell.baseId,
                                    cell.colorCode, cell.sectorId.c_str(), cellTexts[3 * c].c_str(),
                                    cellTexts[3 * c + 1].c_str(), cellTexts[3 * c + 2].c_str(), cell.latitude,
                                    cell.longitude});
  }
  const RouteColouring& colouring = layout.colouring;
  const WendrakeMapDrive drive{target.name.c_str(),
                               target.sink != nullptr ? nullptr : target.path.c_str(),
                               target.sink,
                               target.context,
                               driver.c_str(),
                               layout.colourKpi.empty() ? nullptr : layout.colourKpi.c_str(),
                               static_cast<int>(colouring.mode),
                               colouring.edges.size(),
                               colouring.edges.data(),
                               names.size(),
                               names.data(),
                               &Pull::Next,
                               &pull,
                               cells.size(),
                               cells.data()};
  char message[1024] = "";
  if (write_(WENDRAKE_MAP_ABI, &drive, message, sizeof message) == 0) return true;
  if (!pull.error.empty()) *error = pull.error;
  else *error = message[0] != '\0' ? message : "cannot write " + target.name + " (the map module gave no reason)";
  return false;
}

}  // namespace wendrake_cli
