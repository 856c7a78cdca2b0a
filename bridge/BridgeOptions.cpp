#include "bridge/BridgeOptions.h"

#include <charconv>
#include <string_view>

#include "bridge/MetNoSource.h"
#include "bridge/OpenMeteoSource.h"
#include "bridge/Url.h"

namespace bridge {

std::optional<BridgeOptions> BridgeOptions::Parse(int argc, const char* const* argv, std::string& error) {
  BridgeOptions o;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    std::string value;
    bool hasValue = false;
    if (const std::size_t eq = arg.find('='); arg.starts_with("--") && eq != std::string::npos) {
      value = arg.substr(eq + 1);
      arg = arg.substr(0, eq);
      hasValue = true;
    }
    auto take = [&](std::string& into) {
      if (!hasValue) {
        if (i + 1 >= argc) {
          error = arg + " needs a value";
          return false;
        }
        value = argv[++i];
      }
      into = value;
      return true;
    };
    auto flag = [&]() {
      if (hasValue) error = arg + " takes no value";
      return !hasValue;
    };
    if (arg == "--help" || arg == "-h") {
      if (!flag()) return std::nullopt;
      o.action = Action::Help;
    } else if (arg == "--enable" || arg == "--disable") {
      if (!flag()) return std::nullopt;
      o.action = arg == "--enable" ? Action::Enable : Action::Disable;
    } else if (arg == "--allow-loopback-upstream") {
      if (!flag()) return std::nullopt;
      o.allowLoopbackUpstream = true;
    } else if (arg == "--port") {
      std::string text;
      if (!take(text)) return std::nullopt;
      int port = -1;
      auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), port);
      if (ec != std::errc() || end != text.data() + text.size() || port < 0 || port > 65535) {
        error = "--port wants a number from 0 to 65535, not \"" + text + "\"";
        return std::nullopt;
      }
      o.port = port;
      o.portGiven = true;
    } else if (arg == "--open-meteo-url" || arg == "--metno-url") {
      std::string text;
      if (!take(text)) return std::nullopt;
      if (!Url::Parse(text)) {
        error = arg + " wants an http or https address, not \"" + text + "\"";
        return std::nullopt;
      }
      (arg == "--open-meteo-url" ? o.openMeteoUrl : o.metnoUrl) = text;
    } else if (arg == "--ca-file") {
      if (!take(o.caFile)) return std::nullopt;
    } else if (arg == "--weather-source") {
      std::string text;
      if (!take(text)) return std::nullopt;
      if (text == "open-meteo") o.source = WeatherSource::OpenMeteo;
      else if (text == "metno") o.source = WeatherSource::MetNo;
      else {
        error = "--weather-source is open-meteo or metno, not \"" + text + "\"";
        return std::nullopt;
      }
    } else {
      error = "unknown argument \"" + arg + "\"";
      return std::nullopt;
    }
  }
  if (o.action == Action::Enable && o.port == 0) {
    error = "--enable needs a fixed port";
    return std::nullopt;
  }
  return o;
}

std::string BridgeOptions::Help() {
  return std::string(
             "usage: brisvane-bridge [options]\n"
             "       brisvane-bridge --enable | --disable [--port N]\n"
             "\n"
             "A local service for the Brisvane Screensaver. The saver and its dialog reach it\n"
             "through their HTTP proxy setting; it answers the saver's weather requests from a\n"
             "key-less forecast service, fetches news feeds over https and rewrites them into\n"
             "the plain RSS the ticker reads, and serves the dialog's feed directory.\n"
             "\n"
             "  --port N                   listen on 127.0.0.1:N (default 8411; 0 picks a free port)\n"
             "  --weather-source SOURCE    open-meteo (default) or metno\n"
             "  --open-meteo-url URL       the Open-Meteo service's base address (default ") +
         std::string(OpenMeteoSource::kDefaultBase) +
         ")\n"
         "  --metno-url URL            MET Norway's base address (default " +
         std::string(MetNoSource::kDefaultBase) +
         ")\n"
         "  --ca-file FILE             trust this CA beside the system's certificates\n"
         "  --allow-loopback-upstream  let upstream addresses be on 127.0.0.1 (for tests)\n"
         "  --enable                   point the saver's proxy setting at the bridge and enable\n"
         "                             the systemd user socket brisvane-bridge.socket, which\n"
         "                             listens on port 8411 only: with another --port N the\n"
         "                             socket is left alone and you start brisvane-bridge\n"
         "                             --port N yourself\n"
         "  --disable                  undo both: the proxy setting you had before --enable\n"
         "                             comes back\n"
         "  --help                     this text\n"
         "\n"
         "Under systemd socket activation the bridge exits after 10 idle minutes.\n"
         "\n"
         "Weather data by Open-Meteo.com (https://open-meteo.com/), CC BY 4.0.\n"
         "With --weather-source metno: Data from MET Norway (https://www.met.no/en), CC BY 4.0.\n"
         "Condition codes and rounding are converted by the bridge.\n";
}

}  // namespace bridge
