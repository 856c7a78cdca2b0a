#include "platform/SessionBus.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;

struct Folder {
  fs::path path;
  Folder() {
    static int made = 0;
    path = fs::temp_directory_path() / ("bus-test-" + std::to_string(getpid()) + "-" + std::to_string(++made));
    fs::create_directories(path);
  }
  ~Folder() { fs::remove_all(path); }
};

TEST(SessionBus, MissingOnlyWithoutAnAddressOrAUserBusSocket) {
  Folder none, file, socket;
  std::ofstream(file.path / "bus") << "not a socket";
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un at{};
  at.sun_family = AF_UNIX;
  std::strncpy(at.sun_path, (socket.path / "bus").c_str(), sizeof at.sun_path - 1);
  ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&at), sizeof at), 0);
  struct Case {
    const char* address;
    std::string runtime;
    bool missing;
  };
  for (const Case& c : {Case{"unix:path=/run/user/1000/bus", "", false}, Case{nullptr, "", true},
                        Case{"", none.path, true}, Case{nullptr, file.path, true}, Case{nullptr, socket.path, false},
                        Case{"", socket.path, false}}) {
    SCOPED_TRACE(c.runtime);
    EXPECT_EQ(platform::SessionBusMissing(c.address, c.runtime.empty() ? nullptr : c.runtime.c_str()), c.missing);
  }
  close(fd);
}

TEST(SessionBus, NoAutolaunchRefusesTheBusOnlyWhileItLivesAndOnlyWhenMissing) {
  Folder none;
  const std::string oldRuntime = std::getenv("XDG_RUNTIME_DIR") ? std::getenv("XDG_RUNTIME_DIR") : "";
  const std::string oldAddress = std::getenv("DBUS_SESSION_BUS_ADDRESS") ? std::getenv("DBUS_SESSION_BUS_ADDRESS") : "";
  setenv("XDG_RUNTIME_DIR", none.path.c_str(), 1);
  unsetenv("DBUS_SESSION_BUS_ADDRESS");
  {
    const platform::NoBusAutolaunch guard;
    ASSERT_TRUE(std::getenv("DBUS_SESSION_BUS_ADDRESS"));
    EXPECT_STREQ(std::getenv("DBUS_SESSION_BUS_ADDRESS"), "disabled:");
  }
  EXPECT_FALSE(std::getenv("DBUS_SESSION_BUS_ADDRESS"));
  setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/tmp/some-bus", 1);
  { const platform::NoBusAutolaunch guard; }
  EXPECT_STREQ(std::getenv("DBUS_SESSION_BUS_ADDRESS"), "unix:path=/tmp/some-bus") << "a given bus is left alone";
  oldRuntime.empty() ? unsetenv("XDG_RUNTIME_DIR") : setenv("XDG_RUNTIME_DIR", oldRuntime.c_str(), 1);
  oldAddress.empty() ? unsetenv("DBUS_SESSION_BUS_ADDRESS") : setenv("DBUS_SESSION_BUS_ADDRESS", oldAddress.c_str(), 1);
}

}  // namespace
