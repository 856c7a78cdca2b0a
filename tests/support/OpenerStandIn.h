// A stand-in for the desktop's opener: an xdg-open first on PATH that writes
// its arguments to a file, so a test sees what would reach the browser.
#pragma once

#include <stdlib.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "platform/ShellOpen.h"
#include "support/Files.h"

namespace testing_support {

class OpenerStandIn {
 public:
  OpenerStandIn() {
    std::string pattern = (std::filesystem::temp_directory_path() / "brisvane-opener-XXXXXX").string();
    dir_ = mkdtemp(pattern.data()) ? pattern : std::string();
    log_ = dir_ + "/opened";
    const std::string script = dir_ + "/xdg-open";
    // Each call's arguments are added to what earlier calls wrote, the whole
    // written anew and renamed, so a reader never sees half a line.
    std::ofstream(script) << "#!/bin/sh\n{ cat '" << log_ << "' 2>/dev/null; for a in \"$@\"; do printf '%s\\n' \"$a\"; done; } > '"
                          << log_ << ".'$$ && mv '" << log_ << ".'$$ '" << log_ << "'\n";
    chmod(script.c_str(), 0755);
    if (const char* path = getenv("PATH")) oldPath_ = path;
    setenv("PATH", (dir_ + ":" + oldPath_).c_str(), 1);
  }
  ~OpenerStandIn() {
    setenv("PATH", oldPath_.c_str(), 1);
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  OpenerStandIn(const OpenerStandIn&) = delete;
  OpenerStandIn& operator=(const OpenerStandIn&) = delete;

  const std::string& Dir() const { return dir_; }
  // PATH with the stand-in first, for a child process.
  std::string PathVariable() const { return "PATH=" + dir_ + ":" + oldPath_; }
  bool Opened() const { return std::filesystem::exists(log_); }
  // What was opened, once something was; empty after the time limit.
  std::string WaitForOpened(std::chrono::milliseconds limit = std::chrono::seconds(10)) const {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!Opened() && std::chrono::steady_clock::now() < end)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return Opened() ? ReadText(log_) : std::string();
  }
  // What was opened before a last address handed to the opener now: an opener
  // started earlier has had its time, so "nothing" can be told from "not yet".
  std::string OpenedBefore(const std::string& last = "http://last.test/") const {
    platform::ShellOpen(last);
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    std::string text;
    while ((text = Opened() ? ReadText(log_) : "").find(last + "\n") == std::string::npos &&
           std::chrono::steady_clock::now() < end)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    const auto at = text.find(last + "\n");
    return at == std::string::npos ? "(the last address never arrived)" : text.erase(at, last.size() + 1);
  }

 private:
  std::string dir_, log_, oldPath_;
};

}  // namespace testing_support
