// Against real peers: a stock HTTP server and a stock forwarding proxy, both
// started here on loopback ports and stopped at the end.
#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

#include "ChildProcess.h"
#include "LoopbackServer.h"
#include "online/THttpClient.h"

using online::THttpClient;
using testing_online::ChildProcess;
using testing_online::TempDir;

namespace {

std::string Program(const std::string& name) {
  std::string path = testing_online::FindProgram(name);
  for (const char* dir : {"/usr/sbin/", "/usr/bin/"})
    if (path.empty() && ::access((dir + name).c_str(), X_OK) == 0) path = dir + name;
  return path;
}

class RealPeers : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string python = Program("python3");
    if (python.empty()) GTEST_SKIP() << "python3 is not installed";
    for (int i = 0; i < 256; ++i) FFeed += static_cast<char>(i);
    for (int i = 0; i < 400; ++i) FFeed += "<item><title>Item " + std::to_string(i) + "</title></item>\n";
    FSite.Write("feed.xml", FFeed);
    std::filesystem::create_directory(FSite.Path() + "/sub");
    FSite.Write("sub/index.html", "<p>sub index</p>");
    FServerPort = testing_online::FreeLoopbackPort();
    FServer = std::make_unique<ChildProcess>(std::vector<std::string>{
        python, "-m", "http.server", std::to_string(FServerPort), "--bind", "127.0.0.1", "--directory", FSite.Path()});
    ASSERT_TRUE(testing_online::WaitForListener(FServerPort, 10000)) << FServer->Stderr();
  }

  std::string ServerUrl(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(FServerPort) + path;
  }

  // Starts tinyproxy in the foreground with a private configuration; false when missing.
  bool StartProxy() {
    std::string tinyproxy = Program("tinyproxy");
    if (tinyproxy.empty()) return false;
    FProxyPort = testing_online::FreeLoopbackPort();
    std::string conf = FProxyDir.Write("tinyproxy.conf", "Port " + std::to_string(FProxyPort) +
                                                             "\nListen 127.0.0.1\nTimeout 10\nMaxClients 8\n"
                                                             "Allow 127.0.0.1\nLogLevel Critical\n");
    FProxy = std::make_unique<ChildProcess>(std::vector<std::string>{tinyproxy, "-d", "-c", conf});
    EXPECT_TRUE(testing_online::WaitForListener(FProxyPort, 10000)) << FProxy->Stderr();
    return true;
  }

  TempDir FSite, FProxyDir;
  std::string FFeed;
  int FServerPort = 0, FProxyPort = 0;
  std::unique_ptr<ChildProcess> FServer, FProxy;
  THttpClient client{nullptr};
};

}  // namespace

TEST_F(RealPeers, AFileArrivesByteForByte) {
  client.SetTimeOut(5000);
  client.Get(ServerUrl("/feed.xml"));
  EXPECT_EQ(client.GetStatus(), 200);
  EXPECT_EQ(client.GetBody(), FFeed);
  EXPECT_EQ(client.GetContentLength(), static_cast<long long>(FFeed.size()));
  EXPECT_EQ(client.GetHeader().substr(0, 17), "HTTP/1.0 200 OK\r\n");
  EXPECT_EQ(client.GetHeader().substr(client.GetHeader().size() - 4), "\r\n\r\n");
}

TEST_F(RealPeers, MissingFileAndDirectoryRedirect) {
  client.SetTimeOut(5000);
  client.Get(ServerUrl("/nothing.xml"));
  EXPECT_EQ(client.GetStatus(), 404);
  EXPECT_NE(client.GetBody().find("404"), std::string::npos);
  // The server sends 301 with Location "/sub/" for a directory without its slash.
  client.Get(ServerUrl("/sub"));
  EXPECT_EQ(client.GetStatus(), 200);
  EXPECT_EQ(client.GetBody(), "<p>sub index</p>");
  EXPECT_EQ(client.GetURL(), "/sub/");
}

TEST_F(RealPeers, ThroughAForwardingProxy) {
  if (!StartProxy()) GTEST_SKIP() << "tinyproxy is not installed";
  client.SetProxy("127.0.0.1");
  client.SetProxyPort(FProxyPort);
  client.SetTimeOut(5000);
  client.Get(ServerUrl("/feed.xml"));
  EXPECT_EQ(client.GetStatus(), 200);
  EXPECT_EQ(client.GetBody(), FFeed);

  // Redirected to a bare path: the proxy still gets an absolute URL.
  client.Get(ServerUrl("/sub"));
  EXPECT_EQ(client.GetStatus(), 200);
  EXPECT_EQ(client.GetBody(), "<p>sub index</p>");

  // The proxy's own error page for an unreachable target is a reply, not an exception.
  client.Get("http://127.0.0.1:" + std::to_string(testing_online::ClosedLoopbackPort()) + "/");
  EXPECT_GE(client.GetStatus(), 400);
  EXPECT_FALSE(client.GetBody().empty());
}

TEST_F(RealPeers, TheProxyForwardsTheRequestHeader) {
  if (!StartProxy()) GTEST_SKIP() << "tinyproxy is not installed";
  testing_online::LoopbackServer origin([](testing_online::LoopbackServer::Connection& c) {
    if (c.ReadRequest().rfind("GET /start ", 0) == 0)
      c.Send("HTTP/1.0 302 Found\r\nLocation: done\r\nSet-Cookie: s=1\r\n\r\n");
    else
      c.Send("HTTP/1.0 200 OK\r\n\r\nok");
  });
  client.SetProxy("127.0.0.1");
  client.SetProxyPort(FProxyPort);
  client.SetTimeOut(5000);
  client.Get(origin.Url("/start"));
  ASSERT_EQ(origin.Requests().size(), 2u);  // the completed Location names the same host and port
  EXPECT_EQ(origin.Requests()[0].find("GET /start HTTP/1.0\r\n"), 0u);
  EXPECT_NE(origin.Requests()[1].find("GET /done HTTP/1.0\r\n"), std::string::npos);
  EXPECT_NE(origin.Requests()[1].find("Cookie: s=1\r\n"), std::string::npos);
  EXPECT_EQ(client.GetBody(), "ok");
}
