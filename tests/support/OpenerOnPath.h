// A stand-in for the desktop's opener: an xdg-open first on PATH that writes
// its arguments, one a line, to a file the test reads.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

namespace testing_support {

class OpenerOnPath : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/brisvane-opener-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    log_ = dir_ + "/opened";
    const std::string script = dir_ + "/xdg-open";
    std::ofstream(script) << "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done >> '" << log_ << ".tmp'\nmv '"
                          << log_ << ".tmp' '" << log_ << "'\n";
    ASSERT_EQ(chmod(script.c_str(), 0755), 0);
    oldPath_ = std::getenv("PATH") ? std::getenv("PATH") : "";
    setenv("PATH", (dir_ + ":" + oldPath_).c_str(), 1);
  }
  void TearDown() override {
    setenv("PATH", oldPath_.c_str(), 1);
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  // What the opener was given, once it has run (empty after 10 s).
  std::string WaitForLog() {
    for (int i = 0; i < 1000; ++i) {
      std::ifstream in(log_);
      if (in) {
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return "";
  }
  std::string dir_, log_, oldPath_;
};

}  // namespace testing_support
