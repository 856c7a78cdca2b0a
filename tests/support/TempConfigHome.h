// A private XDG_CONFIG_HOME for one test: CTest runs test cases of a folder in
// parallel processes that share the folder's configuration directory.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <optional>
#include <string>

class TempConfigHome {
 public:
  TempConfigHome() {
    std::string pattern = (std::filesystem::temp_directory_path() / "brisvane-reg-XXXXXX").string();
    if (const char* old = getenv("XDG_CONFIG_HOME")) old_ = old;
    dir_ = mkdtemp(pattern.data()) ? pattern : std::string();
    setenv("XDG_CONFIG_HOME", dir_.c_str(), 1);
  }
  ~TempConfigHome() {
    if (old_) setenv("XDG_CONFIG_HOME", old_->c_str(), 1);
    else unsetenv("XDG_CONFIG_HOME");
    std::error_code ec;
    if (!dir_.empty()) std::filesystem::remove_all(dir_, ec);
  }
  TempConfigHome(const TempConfigHome&) = delete;
  TempConfigHome& operator=(const TempConfigHome&) = delete;

  const std::string& Dir() const { return dir_; }
  std::string RegFile() const { return dir_ + "/brisvane/HKEY_CURRENT_USER.reg"; }

 private:
  std::string dir_;
  std::optional<std::string> old_;
};
