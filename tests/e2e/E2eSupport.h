// What the end-to-end tests share: a private Xvfb for the whole test program,
// the program under test as a child process, screen grabs and xdotool.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "support/Files.h"
#include "support/PrivateX.h"
#include "support/XPixels.h"  // Xlib last: its macros (None, Status) clash with other headers

namespace e2e {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using testing_support::Grab;
using testing_support::Process;

inline std::string gDisplay;

// One Xvfb at exactly the saver's mode, so screen pixels equal frame pixels,
// and with no core fonts but the built-in ones, as many desktops have today:
// every window the program shows must draw without them.
class XvfbEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    xvfb_ = std::make_unique<testing_support::PrivateXvfb>(std::vector<std::string>{"1024x768"},
                                                           std::vector<std::string>{"-fp", "built-ins"});
    ASSERT_FALSE(xvfb_->Display().empty()) << "Xvfb did not start";
    gDisplay = xvfb_->Display();
    setenv("DISPLAY", gDisplay.c_str(), 1);
  }
  void TearDown() override { xvfb_.reset(); }

 private:
  std::unique_ptr<testing_support::PrivateXvfb> xvfb_;
};

inline const auto* const gEnvironment = ::testing::AddGlobalTestEnvironment(new XvfbEnvironment);

inline std::string TempPath(const std::string& name) {
  return ::testing::TempDir() + "brisvane-e2e-" + std::to_string(getpid()) + "-" + name;
}

using testing_support::ReadText;

inline std::vector<std::string> SaverEnvironment() {
  return {"XDG_CONFIG_HOME=" + TempPath("config"), "LSAN_OPTIONS=detect_leaks=0"};
}

// Runs a one-shot mode to its end; the exit code, or -1 when it did not end in time.
inline int RunToEnd(const std::vector<std::string>& args, const std::vector<std::string>& env) {
  Process p = Process::Start(args, env);
  return p.WaitExit(5s) ? p.ExitCode() : -1;
}

inline void Xdotool(const std::string& args) {
  const std::string cmd = "DISPLAY=" + gDisplay + " xdotool " + args + " >/dev/null 2>&1";
  ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
}

}  // namespace e2e
