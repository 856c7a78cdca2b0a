// brisvane-render --fetch: the refresh thread's first step before the first
// frame, against a loopback peer as the proxy; without it, no request at all.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sys/wait.h>

#include "LoopbackServer.h"
#include "scene/SceneFixture.h"

namespace {

using testing_online::LoopbackServer;
using testing_support::SceneSettings;

int Render(const std::string& args) {
  const std::string command =
      std::string(std::getenv("BRISVANE_BINARY_DIR")) + "/tools/render/brisvane-render " + args + " >/dev/null 2>&1";
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

SceneSettings Fetching(int port, const std::string& portText = "") {
  return SceneSettings()
      .Set("ShowWeather", 1)
      .Set("ShowNews", 1)
      .Set("UseProxy", 1)
      .Set("Proxy", std::string("127.0.0.1"))
      .Set("Port", portText.empty() ? std::to_string(port) : portText);
}

LoopbackServer::Handler Feeds() {
  return [](LoopbackServer::Connection& c) {
    const bool weather = c.ReadRequest().find("/forecastrss?") != std::string::npos;
    c.Send(LoopbackServer::Response(
        "200 OK", "",
        weather ? "<?xml version=\"1.0\"?><yweather:condition code=\"34\" temp=\"71\"/>"
                : "<?xml version=\"1.0\"?><rss version=\"2.0\"><title>T</title><item><title>A</title></item></rss>"));
  };
}

}  // namespace

TEST(RenderFetch, OneStepBeforeTheFirstFrameAndNoRequestWithoutIt) {
  TempConfigHome home;
  LoopbackServer proxy(Feeds());
  Fetching(proxy.Port()).Write();
  EXPECT_EQ(Render("--frames 2"), 0);
  EXPECT_EQ(proxy.ConnectionCount(), 0);
  EXPECT_EQ(Render("--frames 2 --fetch"), 0);
  const auto requests = proxy.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].substr(0, requests[0].find("\r\n")),
            "GET http://weather.yahooapis.com/forecastrss?p=20001&u=f HTTP/1.0");
  EXPECT_EQ(requests[1].substr(0, requests[1].find("\r\n")), "GET http://news.example/rss HTTP/1.0");
}

TEST(RenderFetch, AFailedRequestIsNoFailureAnEndedRefreshIs) {
  TempConfigHome home;
  Fetching(testing_online::ClosedLoopbackPort()).Write();
  EXPECT_EQ(Render("--frames 1 --fetch"), 0);  // the gadgets keep "NA", as the saver's would
  Fetching(0, "eighty").Write();
  EXPECT_EQ(Render("--frames 1 --fetch"), 1);  // the step ended on the port that is no number
}
