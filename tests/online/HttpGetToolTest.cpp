// The fetch tool, run as a user runs it.
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

#include "ChildProcess.h"
#include "LoopbackServer.h"

using testing_online::ChildProcess;
using testing_online::LoopbackServer;

namespace {

std::string ToolPath() {
  if (const char* dir = std::getenv("BRISVANE_BINARY_DIR")) return std::string(dir) + "/tools/httpget/brisvane-httpget";
  // Run by hand: the test program lives in <build>/tests/online.
  char self[PATH_MAX] = {};
  if (::readlink("/proc/self/exe", self, sizeof self - 1) <= 0) return "";
  return (std::filesystem::path(self).parent_path() / "../../tools/httpget/brisvane-httpget").lexically_normal().string();
}

struct ToolRun {
  int code;
  std::string out, err;
};

ToolRun RunTool(const std::vector<std::string>& args) {
  std::vector<std::string> argv{ToolPath()};
  argv.insert(argv.end(), args.begin(), args.end());
  ChildProcess tool(argv);
  EXPECT_TRUE(tool.Started());
  int code = tool.Wait(15000);
  return {code, tool.Stdout(), tool.Stderr()};
}

class HttpGetTool : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(::access(ToolPath().c_str(), X_OK), 0) << "tool not built: " << ToolPath(); }
};

}  // namespace

TEST_F(HttpGetTool, PrintsHeaderThenRawBody) {
  std::string body = "line\r\n";
  body += std::string("\0\x01\xff", 3);
  const std::string head = "HTTP/1.0 200 OK\r\nContent-Type: application/rss+xml\r\n\r\n";
  LoopbackServer server(LoopbackServer::Reply(head + body));
  ToolRun r = RunTool({server.Url("/rss")});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, head + body);
  EXPECT_EQ(r.err, "");
  ASSERT_EQ(server.Requests().size(), 1u);
  EXPECT_EQ(server.Requests()[0].substr(0, 19), "GET /rss HTTP/1.0\r\n");
}

TEST_F(HttpGetTool, AnHttpErrorStatusIsNoFailure) {
  LoopbackServer server(LoopbackServer::Reply("HTTP/1.0 404 Not Found\r\n\r\nmissing"));
  ToolRun r = RunTool({server.Url("/x")});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, "HTTP/1.0 404 Not Found\r\n\r\nmissing");
}

TEST_F(HttpGetTool, FailuresNameTheExceptionAndExitOne) {
  ToolRun refused = RunTool({"http://127.0.0.1:" + std::to_string(testing_online::ClosedLoopbackPort()) + "/"});
  EXPECT_EQ(refused.code, 1);
  EXPECT_EQ(refused.out, "");
  EXPECT_EQ(refused.err, "ESockError: Connection Failed\n");

  ToolRun secure = RunTool({"https://example.invalid/"});
  EXPECT_EQ(secure.code, 1);
  EXPECT_EQ(secure.err, "Exception: HTTP Secure Socket is not supported\n");

  ToolRun badPort = RunTool({"http://127.0.0.1:eighty/"});
  EXPECT_EQ(badPort.code, 1);
  EXPECT_EQ(badPort.err.substr(0, 15), "EConvertError: ");
}

TEST_F(HttpGetTool, TimeoutOptionEndsASilentRequest) {
  LoopbackServer server([](LoopbackServer::Connection& c) {
    c.ReadRequest();
    c.WaitPeerClosed(8000);
  });
  ToolRun r = RunTool({"--timeout", "300", server.Url("/")});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, "EAbortError: Socket readln aborted\n");
}

TEST_F(HttpGetTool, ProxyOptionSendsTheWholeUrlToTheProxy) {
  LoopbackServer proxy(LoopbackServer::Reply("HTTP/1.0 200 OK\r\n\r\nproxied"));
  ToolRun r = RunTool({"--proxy", "127.0.0.1:" + std::to_string(proxy.Port()), "http://feeds.invalid/news"});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, "HTTP/1.0 200 OK\r\n\r\nproxied");
  ASSERT_EQ(proxy.Requests().size(), 1u);
  EXPECT_EQ(proxy.Requests()[0].find("GET http://feeds.invalid/news HTTP/1.0\r\nProxy-Connection: Keep-Alive\r\n"
                                     "Host: feeds.invalid\r\n"),
            0u);
}

TEST_F(HttpGetTool, BadUsageExitsTwo) {
  for (const auto& args : std::vector<std::vector<std::string>>{
           {}, {"--proxy", "nocolon", "http://a/"}, {"--timeout", "soon", "http://a/"}, {"--bogus", "http://a/"}, {"http://a/", "http://b/"}}) {
    ToolRun r = RunTool(args);
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("usage: brisvane-httpget"), std::string::npos);
  }
}
