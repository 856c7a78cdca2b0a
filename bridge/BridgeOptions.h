// The command line of brisvane-bridge.
#pragma once

#include <optional>
#include <string>

#include "bridge/BridgeService.h"
#include "bridge/ProxySetup.h"

namespace bridge {

struct BridgeOptions {
  static constexpr int kDefaultPort = ProxySetup::kSocketPort;
  enum class Action { Serve, Enable, Disable, Help };

  Action action = Action::Serve;
  int port = kDefaultPort;  // 0: any free port (it is printed)
  bool portGiven = false;
  std::string openMeteoUrl;
  std::string metnoUrl;
  std::string caFile;
  bool allowLoopbackUpstream = false;
  WeatherSource source = WeatherSource::OpenMeteo;

  // Nothing, with the reason, for a command line that is not understood.
  static std::optional<BridgeOptions> Parse(int argc, const char* const* argv, std::string& error);
  static std::string Help();
};

}  // namespace bridge
