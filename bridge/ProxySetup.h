// One-step set-up for a user: the saver's proxy setting pointed at the bridge
// (through the registry layer: one locked, atomic change of exactly UseProxy,
// Proxy and Port) and the systemd user socket enabled, or both undone.
#pragma once

#include <functional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace bridge {

class ProxySetup {
 public:
  static constexpr std::string_view kKeyPath = "SOFTWARE\\Tarrowind Software\\Brisvane Screensaver";
  static constexpr std::string_view kProxyHost = "127.0.0.1";
  static constexpr std::string_view kSocketUnit = "brisvane-bridge.socket";
  static constexpr std::string_view kServiceUnit = "brisvane-bridge.service";

  // Runs "systemctl --user <args>"; the exit code, or -1 when systemctl is
  // not there. Replaceable for the tests.
  using Systemctl = std::function<int(const std::vector<std::string>& args)>;
  static int RunSystemctl(const std::vector<std::string>& args);

  // Exit codes for the program: 0 done (systemd or not), 1 settings not written.
  static int Enable(int port, std::ostream& out, const Systemctl& systemctl = RunSystemctl);
  static int Disable(int port, std::ostream& out, const Systemctl& systemctl = RunSystemctl);

  enum class Change { Written, Unchanged, Failed };
  static Change WriteSettings(int port);
  // Clears the three values only while they still point at the bridge; a
  // proxy the user set since is left alone.
  static Change ClearSettings(int port);
};

}  // namespace bridge
