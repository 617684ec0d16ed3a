// Environment variables set for one test and restored when it ends.
#pragma once

#include <stdlib.h>
#include <time.h>

#include <map>
#include <optional>
#include <string>

class ScopedEnvironment {
 public:
  ScopedEnvironment() = default;
  ~ScopedEnvironment() {
    for (const auto& [name, value] : former_) {
      if (value) {
        setenv(name.c_str(), value->c_str(), 1);
      } else {
        unsetenv(name.c_str());
      }
    }
    tzset();
  }
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

  void Set(const std::string& name, const std::string& value) {
    Remember(name);
    setenv(name.c_str(), value.c_str(), 1);
    tzset();
  }
  void Unset(const std::string& name) {
    Remember(name);
    unsetenv(name.c_str());
  }

 private:
  void Remember(const std::string& name) {
    if (former_.count(name) != 0) return;
    const char* value = getenv(name.c_str());
    former_[name] = value != nullptr ? std::optional<std::string>(value) : std::nullopt;
  }

  std::map<std::string, std::optional<std::string>> former_;
};
