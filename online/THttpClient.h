// The HTTP/1.0 client of the feeds and the feed directory: a blocking Get of an
// http URL, directly or through a proxy, following 300-302 redirects, with the
// reply's header lines in Header and its body in Body.
#pragma once

#include <string>

#include "online/HttpReplyReader.h"
#include "online/TSocketBase.h"

namespace online {

class THttpClient : public TSocketBase {
 public:
  // Redirects followed by one Get; the reply after the last is returned as it is.
  static constexpr int kMaxRedirects = 10;
  static constexpr std::size_t kMaxPathLength = 256;

  explicit THttpClient(framework::TComponent* AOwner);
  std::string ClassName() const override { return "THttpClient"; }

  // Raises framework::Exception for an empty or https URL, EConvertError for a
  // port that is no number, ESockError/EAbortError for failures below HTTP.
  void Get(const std::string& URL);

  const std::string& GetProxy() const { return FProxy; }
  void SetProxy(const std::string& value) { FProxy = value; }
  int GetProxyPort() const { return FProxyPort; }
  void SetProxyPort(int value) { FProxyPort = value; }
  const std::string& GetHost() const { return FHost; }
  void SetHost(const std::string& value) { FHost = value; }
  int GetPort() const { return FPort; }
  void SetPort(int value) { FPort = value; }
  const std::string& GetBody() const { return FBody; }
  void SetBody(const std::string& value) { FBody = value; }
  const std::string& GetHeader() const { return FHeader; }
  void SetHeader(const std::string& value) { FHeader = value; }
  int GetReportLevel() const { return FReportLevel; }
  void SetReportLevel(int value) { FReportLevel = value; }
  bool GetInputFileMode() const { return FInputFileMode; }
  void SetInputFileMode(bool value) { FInputFileMode = value; }
  bool GetOutputFileMode() const { return FOutputFileMode; }
  void SetOutputFileMode(bool value) { FOutputFileMode = value; }

  // State of the last request, read by the tool and the tests.
  const std::string& GetURL() const { return FURL; }
  const std::string& GetPath() const { return FPath; }
  int GetStatus() const { return FStatus; }
  const std::string& GetLocation() const { return FLocation; }
  const std::string& GetCookie() const { return FCookie; }
  long long GetContentLength() const { return FContentLength; }

  // Parses the current URL into host, port and path (public for the tests).
  void ParseURL(const std::string& URL);
  // The request header of the current URL, every line with its CR LF and the empty line.
  std::string BuildRequest() const;

 private:
  void ParseCurrentURL();
  // "http://" and the current host, with its port unless that is 80.
  std::string ServerUrl() const;

  std::string FProxy;
  int FProxyPort = 0;
  std::string FHost;
  int FPort = 0;
  std::string FBody = "Default.htm";
  std::string FHeader = "Head.txt";
  int FReportLevel = 0;
  bool FInputFileMode = false;
  bool FOutputFileMode = false;

  std::string FURL;
  std::string FPath;
  int FStatus = 0;
  std::string FLocation;
  std::string FSetCookie;
  std::string FCookie;
  long long FContentLength = -1;
};

}  // namespace online
