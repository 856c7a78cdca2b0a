// brisvane-httpget [--proxy HOST:PORT] [--timeout MS] URL
// One Get with a fresh client, as the feeds make it: prints the reply's header
// lines and then its body to standard output. Shows why a feed does not load.
#include <cstdio>
#include <exception>
#include <iostream>
#include <string>

#include "framework/TApplication.h"
#include "online/THttpClient.h"

namespace {

int Usage() {
  std::cerr << "usage: brisvane-httpget [--proxy HOST:PORT] [--timeout MS] URL\n";
  return 2;
}

bool ParseNumber(const std::string& text, int& value) {
  try {
    value = framework::StrToInt(text);
    return value >= 0;
  } catch (const framework::EConvertError&) {
    return false;
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::string url, proxy;
  int proxyPort = 0, timeout = 0;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if ((arg == "--proxy" || arg == "--timeout") && i + 1 < argc) {
      std::string value = argv[++i];
      if (arg == "--timeout") {
        if (!ParseNumber(value, timeout)) return Usage();
      } else {
        size_t colon = value.rfind(':');
        if (colon == std::string::npos || colon == 0 || !ParseNumber(value.substr(colon + 1), proxyPort))
          return Usage();
        proxy = value.substr(0, colon);
      }
    } else if (!arg.empty() && arg[0] == '-') {
      return Usage();
    } else if (url.empty()) {
      url = arg;
    } else {
      return Usage();
    }
  }
  if (url.empty()) return Usage();

  try {
    online::THttpClient client(nullptr);
    client.SetTimeOut(timeout);
    client.SetProxy(proxy);
    client.SetProxyPort(proxyPort);
    client.SetReportLevel(2);
    client.Get(url);
    std::fwrite(client.GetHeader().data(), 1, client.GetHeader().size(), stdout);
    std::fwrite(client.GetBody().data(), 1, client.GetBody().size(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
  } catch (const framework::Exception& e) {
    std::cerr << e.ClassName() << ": " << e.what() << "\n";
  } catch (const std::exception& e) {
    std::cerr << "Exception: " << e.what() << "\n";
  }
  return 1;
}
