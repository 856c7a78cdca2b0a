// One-step set-up for a user: the saver's proxy setting pointed at the bridge
// (through the registry layer: one locked, atomic change of exactly UseProxy,
// Proxy and Port) and the systemd user socket enabled, or both undone. The
// user's own three values are kept in a file of the bridge's own beside the
// settings, so that undoing gives them back.
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
  // The port the socket unit listens on.
  static constexpr int kSocketPort = 8411;

  // Runs "systemctl --user <args>"; the exit code, or -1 when systemctl is
  // not there. Replaceable for the tests.
  using Systemctl = std::function<int(const std::vector<std::string>& args)>;
  static int RunSystemctl(const std::vector<std::string>& args);

  // Exit codes for the program: 0 done (systemd or not), 1 settings not written.
  // The socket unit is enabled only for its own port; for another the user
  // starts the bridge on that port.
  static int Enable(int port, std::ostream& out, const Systemctl& systemctl = RunSystemctl);
  static int Disable(int port, std::ostream& out, const Systemctl& systemctl = RunSystemctl);

  // The user's UseProxy, Proxy and Port from before the first --enable, and
  // the port --enable wrote; in registry export syntax, like the settings.
  static std::string SavedProxyPath();

  enum class Change { Written, Unchanged, Failed };
  // Keeps the user's values first, unless the settings hold what an earlier
  // --enable wrote.
  static Change WriteSettings(int port);
  // Gives the user's values back only while the settings still point at the
  // bridge; a proxy the user set since is left alone. Values that were not
  // there come back as the saver's defaults (no proxy, empty texts), and
  // UseProxy stays off when the user turned it off meanwhile.
  static Change ClearSettings(int port);
};

}  // namespace bridge
