// Sets the process time zone for the life of a scope and restores the
// previous one (or its absence) afterwards.
#pragma once

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

namespace wendrake_test {

class ScopedTimeZone {
 public:
  ScopedTimeZone() {
    if (const char* tz = std::getenv("TZ")) saved_ = tz;
  }
  explicit ScopedTimeZone(const char* tz) : ScopedTimeZone() { Set(tz); }
  ~ScopedTimeZone() {
    if (saved_) {
      setenv("TZ", saved_->c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
  }
  ScopedTimeZone(const ScopedTimeZone&) = delete;
  ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

  static void Set(const char* tz) {
    setenv("TZ", tz, 1);
    tzset();
  }

 private:
  std::optional<std::string> saved_;
};

}  // namespace wendrake_test
