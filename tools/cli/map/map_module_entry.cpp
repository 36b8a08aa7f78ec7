// The map module's one exported function (map_module_abi.h). Nothing may
// leave it as an exception: the caller is C.
#include <cstdio>
#include <exception>
#include <string>

#include "map/map_export.h"
#include "map/map_module_abi.h"

namespace {

int Refuse(const char* message, char* error, size_t errorSize) {
  if (error != nullptr && errorSize > 0) std::snprintf(error, errorSize, "%s", message);
  return 1;
}

int Failed(const char* path, const char* why, char* error, size_t errorSize) {
  if (error != nullptr && errorSize > 0) std::snprintf(error, errorSize, "cannot write %s: %s", path, why);
  return 1;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) int wendrake_map_write(uint32_t abi, const WendrakeMapDrive* drive,
                                                                        char* error, size_t errorSize) {
  if (abi != WENDRAKE_MAP_ABI) {
    char message[200];
    std::snprintf(message, sizeof message,
                  "the map module " WENDRAKE_MAP_MODULE_FILE " has interface %u, the tool %u: "
                  "install the module of the tool's own version",
                  WENDRAKE_MAP_ABI, static_cast<unsigned>(abi));
    return Refuse(message, error, errorSize);
  }
  if (drive == nullptr || drive->name == nullptr || drive->driver == nullptr ||
      (drive->path == nullptr && drive->sink == nullptr)) {
    return Refuse("the map module was called without a file to write", error, errorSize);
  }
  try {
    std::string message;
    return wendrake_cli::WriteMap(*drive, &message) ? 0 : Refuse(message.c_str(), error, errorSize);
  } catch (const std::exception& e) {
    return Failed(drive->name, e.what(), error, errorSize);
  } catch (...) {
    return Failed(drive->name, "unexpected failure in the map module", error, errorSize);
  }
}
