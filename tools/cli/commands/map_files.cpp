#include "commands/map_files.h"

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <string_view>

#include "io/output.h"
#include "io/signal_cleanup.h"

namespace wendrake_cli {
namespace {

// A temporary file name beside `path` ending in the same extension, so that
// drivers which go by the extension write the same format; the file is
// created (reserving the name) and removed again for the driver to create.
bool ReserveTemporary(const std::string& path, std::string* temporary, std::string* error) {
  const size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash == 0 ? 1 : slash);
  const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  const size_t dot = base.rfind('.');
  const std::string extension = dot == std::string::npos ? "" : base.substr(dot);
  std::string pattern = folder + "/." + base + ".XXXXXX" + extension;
  const int fd = mkstemps(pattern.data(), static_cast<int>(extension.size()));
  if (fd < 0) {
    *error = "cannot write " + path + ": " + std::strerror(errno);
    return false;
  }
  close(fd);
  unlink(pattern.c_str());
  *temporary = pattern;
  return true;
}

// The file a GeoPackage written to `path` replaces: through a symbolic
// link, the file it points to, so the link stays. False with `error` for a
// link that leads nowhere, and for anything but a regular file: SQLite
// seeks in the file it writes, which a pipe or a device cannot do, and
// renaming over them would replace them.
bool GeoPackageFile(const std::string& path, std::string* final, std::string* error) {
  struct stat target {};
  if (stat(path.c_str(), &target) == 0 && !S_ISREG(target.st_mode)) {
    *error = "cannot write " + path + ": a GeoPackage needs a regular file (write GeoJSON or KML to a pipe or device)";
    return false;
  }
  struct stat link {};
  *final = path;
  if (lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
    std::unique_ptr<char, decltype(&free)> resolved(realpath(path.c_str(), nullptr), &free);
    if (resolved == nullptr) {
      *error = "cannot write " + path + ": " + std::strerror(errno);
      return false;
    }
    *final = resolved.get();
  }
  return true;
}

// The map module's sink for GeoJSON and KML: the bytes go through an Output,
// which writes a pipe or a device in place and a file under a temporary
// name; the first failure is kept, for the one-line error.
struct OutputSink {
  Output* out;
  std::string error;

  static size_t Write(void* context, const void* bytes, size_t size) {
    OutputSink* sink = static_cast<OutputSink*>(context);
    try {
      sink->out->Write(std::string_view(static_cast<const char*>(bytes), size));
      return size;
    } catch (const WriteError& e) {
      sink->error = e.what();
    } catch (const std::exception& e) {
      sink->error = std::string("cannot write: ") + e.what();
    }
    return 0;
  }
};

}  // namespace

bool WriteGeoPackageFile(const MapModule& module, const MapLayout& layout, MapSource* source,
                         const std::string& output, std::string* error) {
  std::string final, temporary;
  if (!GeoPackageFile(output, &final, error) || !ReserveTemporary(final, &temporary, error)) return false;
  SetSignalCleanupFile(temporary.c_str());
  const MapTarget target{output, temporary};
  bool ok = module.Write(layout, source, target, "GPKG", error);
  if (ok && rename(temporary.c_str(), final.c_str()) != 0) {
    *error = "cannot write " + output + ": " + std::strerror(errno);
    ok = false;
  }
  if (!ok) unlink(temporary.c_str());
  SetSignalCleanupFile(nullptr);
  return ok;
}

bool WriteStreamedFile(const MapModule& module, const MapLayout& layout, MapSource* source,
                       const std::string& output, const FileIdentity& input, const std::string& driver,
                       std::string* error) {
  Output out;
  if (!out.Open(output, input, error)) return false;
  OutputSink sink{&out, ""};
  const MapTarget target{output, "", &OutputSink::Write, &sink};
  if (!module.Write(layout, source, target, driver, error)) {
    if (!sink.error.empty()) *error = sink.error;
    return false;  // the output's destructor removes its temporary file
  }
  return out.Close(error);
}

}  // namespace wendrake_cli
