#include "online/THttpClient.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace online {

namespace {

std::vector<std::string> SplitAtSlash(const std::string& s) {
  std::vector<std::string> fields;
  size_t start = 0;
  for (;;) {
    size_t slash = s.find('/', start);
    fields.push_back(s.substr(start, slash == std::string::npos ? std::string::npos : slash - start));
    if (slash == std::string::npos) return fields;
    start = slash + 1;
  }
}

// Marks the client busy for the length of a Get, also when it raises.
class BusyScope {
 public:
  explicit BusyScope(bool& flag) : FFlag(flag) { FFlag = true; }
  ~BusyScope() { FFlag = false; }

 private:
  bool& FFlag;
};

}  // namespace

THttpClient::THttpClient(framework::TComponent* AOwner) : TSocketBase(AOwner) {}

void THttpClient::ParseURL(const std::string& URL) {
  FURL = URL;
  ParseCurrentURL();
}

void THttpClient::ParseCurrentURL() {
  if (FURL.empty()) throw framework::Exception("Empty URL");
  if (FPort == 0) FPort = 80;

  const bool hasDoubleSlash = FURL.find("//") != std::string::npos;
  FPath.clear();
  if (hasDoubleSlash) {
    size_t third = std::string::npos;
    for (size_t i = 0, seen = 0; i < FURL.size(); ++i)
      if (FURL[i] == '/' && ++seen == 3) {
        third = i;
        break;
      }
    if (third != std::string::npos) FPath = FURL.substr(third, kMaxPathLength);
  } else if (size_t slash = FURL.find('/'); slash != std::string::npos) {
    FPath = FURL.substr(slash, kMaxPathLength);
  }

  if (size_t colon = FURL.find(':'); colon != std::string::npos) {
    std::string scheme = FURL.substr(0, colon);
    std::transform(scheme.begin(), scheme.end(), scheme.begin(), [](unsigned char c) { return std::tolower(c); });
    if (scheme == "https") throw framework::Exception("HTTP Secure Socket is not supported");
    FPort = scheme == "gopher" ? 70 : scheme == "ftp" ? 21 : 80;
  }

  std::string hostPart;
  const auto fields = SplitAtSlash(FURL);
  if (hasDoubleSlash)
    hostPart = fields.size() > 2 ? fields[2] : "";
  else if (FURL[0] != '/')
    hostPart = fields[0];

  // A bracketed IPv6 address keeps its colons; its port follows the bracket.
  size_t portColon = std::string::npos;
  if (!hostPart.empty() && hostPart[0] == '[' && hostPart.find(']') != std::string::npos) {
    size_t close = hostPart.find(']');
    if (close + 1 < hostPart.size() && hostPart[close + 1] == ':') portColon = close + 1;
  } else {
    portColon = hostPart.find(':');
  }
  if (portColon != std::string::npos) {
    FPort = framework::StrToInt(hostPart.substr(portColon + 1));
    hostPart.resize(portColon);
  }
  if (!hostPart.empty()) FHost = hostPart;

  if (FPath.empty()) {
    FPath.assign(1, '/');
    FURL.push_back('/');
  }
}

std::string THttpClient::ServerUrl() const {
  // The port only when it is not the default: a feed on port 80 keeps the exact text.
  std::string url("http://");
  url += FHost;
  if (FPort != 80) {
    url += ':';
    url += std::to_string(FPort);
  }
  return url;
}

std::string THttpClient::BuildRequest() const {
  std::string target = FPath;
  if (!FProxy.empty()) {
    target = FURL;
    // A proxy needs an absolute URL; a redirect to "/..." leaves only the path.
    if (FURL[0] == '/') target = ServerUrl() + FURL;
  }
  std::string request = "GET " + target + " HTTP/1.0\r\n";
  if (!FProxy.empty()) request += "Proxy-Connection: Keep-Alive\r\n";
  request += "Host: " + FHost + "\r\n";
  request += "Accept: www/source, text/html, video/mpeg, image/jpeg, image/x-tiff\r\n";
  request += "Accept: image/x-rgb, image/x-xbm, image/gif, */*, application/postscript\r\n";
  if (!FCookie.empty()) request += "Cookie: " + FCookie + "\r\n";
  request += "Content-type: application/x-www-form-urlencoded\r\n";
  request += "\r\n";
  return request;
}

void THttpClient::Get(const std::string& URL) {
  // A handler run by this request's wait must not start another on the same
  // connection: it would close or reuse the socket the first one is reading.
  if (FBusy) throw ESockError("Request already in progress");
  BusyScope busy(FBusy);

  FURL = URL;
  for (int redirects = 0;; ++redirects) {
    ParseCurrentURL();
    const std::string request = BuildRequest();
    HttpReplyInfo reply;
    try {
      if (FProxy.empty())
        Connect(FHost, FPort);
      else
        Connect(FProxy, FProxyPort);
      SendText(request);
      FStatus = 0;
      FHeader.clear();
      HttpReplyReader reader(*this);
      reply = reader.ReadHeader(FHeader);
      FStatus = reply.Status;
      FLocation = reply.Location;
      FSetCookie = reply.SetCookie;
      FContentLength = reply.ContentLength;
      // Stopping at Content-Length ends a reply from a proxy that keeps the connection alive.
      reader.ReadBody(FBody, reply.ContentLength);
    } catch (...) {
      CloseConnection();
      throw;
    }
    CloseConnection();

    if (FStatus >= 300 && FStatus <= 399 && reply.HasSetCookie) FCookie = FSetCookie;
    // Only 300-302 with somewhere to go are followed, and only so often.
    const bool follow = FStatus >= 300 && FStatus <= 302 && !FLocation.empty() && redirects < kMaxRedirects;
    if (!follow) return;
    FURL = FLocation;
    if (FURL.find('/') == std::string::npos)
      FURL = ServerUrl() + '/' + FURL;
  }
}

}  // namespace online
