// An environment variable set for a scope and put back as it was afterwards.
#pragma once

#include <cstdlib>
#include <optional>
#include <string>

class ScopedEnv {
 public:
  explicit ScopedEnv(const char* name) : name_(name) {
    if (const char* v = std::getenv(name)) old_ = v;
  }
  ScopedEnv(const char* name, const std::string& value) : ScopedEnv(name) { Set(value); }
  ~ScopedEnv() {
    if (old_) {
      ::setenv(name_, old_->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;
  void Set(const std::string& v) { ::setenv(name_, v.c_str(), 1); }
  void Unset() { ::unsetenv(name_); }

 private:
  const char* name_;
  std::optional<std::string> old_;
};
