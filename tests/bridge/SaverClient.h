// Requests shaped exactly as the saver's HTTP client sends them through its
// proxy setting (absolute-form HTTP/1.0 GET with its fixed header lines), and
// read the way it reads them: everything until the connection closes.
#pragma once

#include <string>

namespace testing_bridge {

struct SaverReply {
  bool connected = false;
  bool closed = false;  // the bridge closed the connection (the saver's end of a reply)
  int status = 0;
  std::string head;
  std::string body;
  long elapsedMs = 0;
  std::string Header(const std::string& name) const;
};

// url: the full http address; the request goes to 127.0.0.1:port as a proxy.
SaverReply SaverGet(int port, const std::string& url, int timeoutMs = 10000);
// Any bytes as the request; the reply as it comes.
SaverReply RawRequest(int port, const std::string& request, int timeoutMs = 10000);
std::string SaverRequestText(const std::string& url);

}  // namespace testing_bridge
