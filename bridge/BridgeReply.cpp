#include "bridge/BridgeReply.h"

#include "bridge/XmlText.h"

namespace bridge {

BridgeReply BridgeReply::Page(int status, const std::string& reason, const std::string& detail) {
  BridgeReply r;
  r.status = status;
  const std::string head = std::to_string(status) + " " + reason;
  r.body = "<html><head><title>" + head + "</title></head><body><h1>" + EscapeXml(reason) + "</h1><p>" +
           EscapeXml(detail) + "</p><hr><address>brisvane-bridge</address></body></html>\n";
  return r;
}

}  // namespace bridge
