// One HTTP reply of the bridge, before the server library sends it.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace bridge {

struct BridgeReply {
  int status = 200;
  std::string contentType = "text/html; charset=UTF-8";
  std::string body;
  std::vector<std::pair<std::string, std::string>> headers;

  // A small HTML page, as the saver's cuts treat any page without an XML
  // declaration as "not available".
  static BridgeReply Page(int status, const std::string& reason, const std::string& detail);
};

}  // namespace bridge
