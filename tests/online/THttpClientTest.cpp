#include "online/THttpClient.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "LoopbackServer.h"
#include "framework/TApplication.h"
#include "platform/NameLookup.h"

using online::EAbortError;
using online::ESockError;
using online::THttpClient;
using testing_online::ElapsedMs;
using testing_online::LoopbackServer;

namespace {

const std::string kAccept =
    "Accept: www/source, text/html, video/mpeg, image/jpeg, image/x-tiff\r\n"
    "Accept: image/x-rgb, image/x-xbm, image/gif, */*, application/postscript\r\n";
const std::string kContentType = "Content-type: application/x-www-form-urlencoded\r\n\r\n";

std::string Ok(const std::string& body) { return LoopbackServer::Response("200 OK", "Server: t\r\n", body); }

// Runs fn on the GUI thread after delayMs, from a helper thread, the way a
// key handler or the time-out runs in the middle of a request's wait.
class GuiCallLater {
 public:
  GuiCallLater(int delayMs, std::function<void()> fn) {
    FThread = std::thread([this, delayMs, fn] {
      auto start = std::chrono::steady_clock::now();
      while (!FCancel.load() && ElapsedMs(start) < delayMs) std::this_thread::sleep_for(std::chrono::milliseconds(2));
      if (!FCancel.load()) framework::Application->Synchronize([this, fn] {
        fn();
        FRan.store(true);
      }, &FCancel);
    });
  }
  ~GuiCallLater() {
    FCancel.store(true);
    framework::Application->WakeWaiters();
    FThread.join();
  }
  bool Ran() const { return FRan.load(); }

 private:
  std::atomic<bool> FCancel{false};
  std::atomic<bool> FRan{false};
  std::thread FThread;
};

// A resolver that answers only when released (or after 5 s at most).
class HeldResolver {
 public:
  HeldResolver() {
    auto state = FState;
    platform::SetResolverForTesting([state](const std::string&, std::uint16_t) {
      std::unique_lock<std::mutex> lock(state->mutex);
      state->cv.wait_for(lock, std::chrono::seconds(5), [&] { return state->released; });
      return platform::LookupResult{11001, {}};
    });
  }
  ~HeldResolver() {
    {
      std::lock_guard<std::mutex> lock(FState->mutex);
      FState->released = true;
    }
    FState->cv.notify_all();
    platform::SetResolverForTesting({});
  }

 private:
  struct State {
    std::mutex mutex;
    std::condition_variable cv;
    bool released = false;
  };
  std::shared_ptr<State> FState = std::make_shared<State>();
};

class THttpClientTest : public ::testing::Test {
 protected:
  framework::TApplication app;
  THttpClient client{nullptr};
};

template <class E>
std::string RaisedText(const std::function<void()>& fn, std::string* className = nullptr) {
  try {
    fn();
  } catch (const E& e) {
    if (className) *className = e.ClassName();
    return e.what();
  }
  return "(nothing raised)";
}

}  // namespace

TEST_F(THttpClientTest, SendsTheExactRequestAndKeepsHeaderAndBody) {
  LoopbackServer server(LoopbackServer::Reply(Ok("feed body")));
  ASSERT_TRUE(server.Ok());
  client.Get(server.Url("/forecastrss?p=20001&u=f"));
  ASSERT_EQ(server.Requests().size(), 1u);
  EXPECT_EQ(server.Requests()[0],
            "GET /forecastrss?p=20001&u=f HTTP/1.0\r\nHost: 127.0.0.1\r\n" + kAccept + kContentType);
  EXPECT_EQ(client.GetStatus(), 200);
  EXPECT_EQ(client.GetHeader(), "HTTP/1.0 200 OK\r\nServer: t\r\n\r\n");
  EXPECT_EQ(client.GetBody(), "feed body");
  EXPECT_FALSE(client.GetConnected());
}

TEST_F(THttpClientTest, AUrlWithoutAPathRequestsSlash) {
  LoopbackServer server(LoopbackServer::Reply(Ok("root")));
  const std::string url = "http://127.0.0.1:" + std::to_string(server.Port());
  client.Get(url);
  ASSERT_EQ(server.Requests().size(), 1u);
  EXPECT_EQ(server.Requests()[0].substr(0, 16), "GET / HTTP/1.0\r\n");
  EXPECT_EQ(client.GetURL(), url + "/");
  EXPECT_EQ(client.GetBody(), "root");
}

TEST_F(THttpClientTest, ThroughAProxyTheRequestCarriesTheWholeUrl) {
  LoopbackServer proxy(LoopbackServer::Reply(Ok("via proxy")));
  client.SetProxy("127.0.0.1");
  client.SetProxyPort(proxy.Port());
  // The target host is never looked up: only the proxy is connected.
  client.Get("http://feeds.invalid:8080/rss?x=1");
  ASSERT_EQ(proxy.Requests().size(), 1u);
  EXPECT_EQ(proxy.Requests()[0], "GET http://feeds.invalid:8080/rss?x=1 HTTP/1.0\r\nProxy-Connection: Keep-Alive\r\n"
                                 "Host: feeds.invalid\r\n" + kAccept + kContentType);
  EXPECT_EQ(client.GetBody(), "via proxy");
}

TEST_F(THttpClientTest, AnErrorStatusReturnsNormallyWithItsPage) {
  LoopbackServer server(LoopbackServer::Reply(LoopbackServer::Response("404 Not Found", "", "<h1>gone</h1>")));
  EXPECT_NO_THROW(client.Get(server.Url("/missing")));
  EXPECT_EQ(client.GetStatus(), 404);
  EXPECT_EQ(client.GetBody(), "<h1>gone</h1>");
}

TEST_F(THttpClientTest, ARedirectIsFollowedAndItsCookieSentOnward) {
  std::atomic<int> port{0};
  LoopbackServer server([&](LoopbackServer::Connection& c) {
    std::string request = c.ReadRequest();
    if (request.rfind("GET /first ", 0) == 0)
      c.Send(LoopbackServer::Response("301 Moved", "Location: http://127.0.0.1:" + std::to_string(port.load()) +
                                                       "/second\r\nSet-Cookie: sid=7\r\n", "moved"));
    else if (request.rfind("GET /second ", 0) == 0)
      c.Send(LoopbackServer::Response("302 Found", "Location: third\r\n", ""));
    else
      c.Send(Ok("final"));
  });
  port.store(server.Port());
  client.Get(server.Url("/first"));
  auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[0], "GET /first HTTP/1.0\r\nHost: 127.0.0.1\r\n" + kAccept + kContentType);
  EXPECT_EQ(requests[1], "GET /second HTTP/1.0\r\nHost: 127.0.0.1\r\n" + kAccept + "Cookie: sid=7\r\n" + kContentType);
  // A Location without any slash is completed with the host (and this server's port).
  EXPECT_EQ(requests[2].substr(0, 21), "GET /third HTTP/1.0\r\n");
  EXPECT_EQ(client.GetURL(), server.Url("/third"));
  EXPECT_EQ(client.GetStatus(), 200);
  EXPECT_EQ(client.GetBody(), "final");
  EXPECT_EQ(client.GetHeader(), "HTTP/1.0 200 OK\r\nServer: t\r\n\r\n");
  EXPECT_EQ(client.GetCookie(), "sid=7");
}

TEST_F(THttpClientTest, ARedirectLoopEndsAfterTheLimitWithTheLastReply) {
  LoopbackServer server(LoopbackServer::Reply(LoopbackServer::Response("302 Found", "Location: /loop\r\n", "again")));
  EXPECT_NO_THROW(client.Get(server.Url("/loop")));
  EXPECT_EQ(server.ConnectionCount(), THttpClient::kMaxRedirects + 1);
  EXPECT_EQ(client.GetStatus(), 302);
  EXPECT_EQ(client.GetBody(), "again");
}

TEST_F(THttpClientTest, OtherRedirectStatusesEndTheCycleButKeepTheirCookie) {
  // 299 is no redirect: its cookie is not stored, the one before stays.
  const std::pair<const char*, const char*> cases[] = {
      {"303 See Other", "c303"}, {"299 Odd", "c303"}, {"307 Temporary", "c307"}};
  for (const auto& [status, stored] : cases) {
    LoopbackServer server(LoopbackServer::Reply(LoopbackServer::Response(
        status, "Location: /elsewhere\r\nSet-Cookie: c" + std::string(status, 3) + "\r\n", "stay")));
    client.Get(server.Url("/x"));
    EXPECT_EQ(server.ConnectionCount(), 1) << status;
    EXPECT_EQ(client.GetStatus(), std::stoi(status)) << status;
    EXPECT_EQ(client.GetBody(), "stay") << status;
    EXPECT_EQ(client.GetCookie(), stored) << status;
  }
  // The stored cookie goes with later requests.
  LoopbackServer server(LoopbackServer::Reply(Ok("")));
  client.Get(server.Url("/y"));
  ASSERT_EQ(server.Requests().size(), 1u);
  EXPECT_NE(server.Requests()[0].find("\r\nCookie: c307\r\n"), std::string::npos);
}

TEST_F(THttpClientTest, ARedirectWithoutLocationIsTheFinalReply) {
  LoopbackServer server(LoopbackServer::Reply(LoopbackServer::Response("301 Moved", "", "nowhere")));
  EXPECT_NO_THROW(client.Get(server.Url("/x")));
  EXPECT_EQ(server.ConnectionCount(), 1);
  EXPECT_EQ(client.GetBody(), "nowhere");
}

TEST_F(THttpClientTest, TheTimeOutCountsFromTheLastReceivedBlock) {
  LoopbackServer server([](LoopbackServer::Connection& c) {
    c.ReadRequest();
    c.Send("HTTP/1.0 200 OK\r\n\r\n");
    for (int i = 0; i < 4; ++i) {
      c.Sleep(150);
      c.Send("x");
    }
    c.WaitPeerClosed(5000);
  });
  client.SetTimeOut(400);
  auto start = std::chrono::steady_clock::now();
  std::string cls;
  EXPECT_EQ(RaisedText<EAbortError>([&] { client.Get(server.Url("/slow")); }, &cls), "Socket capture aborted");
  long elapsed = ElapsedMs(start);
  EXPECT_EQ(cls, "EAbortError");
  // Data until about 600 ms, then one time-out of silence.
  EXPECT_GE(elapsed, 900);
  EXPECT_LT(elapsed, 5000);
  EXPECT_EQ(client.GetBody(), "xxxx");
  EXPECT_FALSE(client.GetConnected());

  // The client is usable again afterwards.
  LoopbackServer good(LoopbackServer::Reply(Ok("fine")));
  client.Get(good.Url("/"));
  EXPECT_EQ(client.GetBody(), "fine");
}

TEST_F(THttpClientTest, ASilentServerTimesOutTheHeaderLine) {
  LoopbackServer server([](LoopbackServer::Connection& c) {
    c.ReadRequest();
    c.WaitPeerClosed(5000);
  });
  client.SetTimeOut(300);
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(RaisedText<EAbortError>([&] { client.Get(server.Url("/")); }), "Socket readln aborted");
  EXPECT_GE(ElapsedMs(start), 250);
}

TEST_F(THttpClientTest, ARefusedConnectionFails) {
  std::string cls;
  EXPECT_EQ(RaisedText<ESockError>([&] { client.Get("http://127.0.0.1:" + std::to_string(testing_online::ClosedLoopbackPort()) + "/"); }, &cls),
            "Connection Failed");
  EXPECT_EQ(cls, "ESockError");
}

TEST_F(THttpClientTest, AnUnknownHostIsANullRemoteAddress) {
  platform::SetResolverForTesting([](const std::string&, std::uint16_t) { return platform::LookupResult{11001, {}}; });
  std::string text = RaisedText<ESockError>([&] { client.Get("http://no-such-host.invalid/"); });
  platform::SetResolverForTesting({});
  EXPECT_EQ(text, "Null Remote Address");
}

TEST_F(THttpClientTest, ANameIsLookedUpAndEachAddressTried) {
  // "localhost" may give ::1 first; the server listens on IPv4 only.
  LoopbackServer server(LoopbackServer::Reply(Ok("by name")));
  client.Get("http://localhost:" + std::to_string(server.Port()) + "/n");
  EXPECT_EQ(client.GetBody(), "by name");
  ASSERT_EQ(server.Requests().size(), 1u);
  EXPECT_NE(server.Requests()[0].find("\r\nHost: localhost\r\n"), std::string::npos);
}

TEST_F(THttpClientTest, IPv6HostsWork) {
  LoopbackServer server(LoopbackServer::Reply(Ok("six")), true);
  if (!server.Ok()) GTEST_SKIP() << "no IPv6 loopback on this machine";
  client.Get(server.Url("/v6"));
  EXPECT_EQ(client.GetBody(), "six");
  ASSERT_EQ(server.Requests().size(), 1u);
  EXPECT_NE(server.Requests()[0].find("\r\nHost: [::1]\r\n"), std::string::npos);
}

TEST_F(THttpClientTest, TheLookupTimesOutOrIsCanceled) {
  {
    HeldResolver held;
    client.SetTimeOut(200);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(RaisedText<ESockError>([&] { client.Get("http://slow.invalid/"); }), "Host Lookup Timed Out");
    EXPECT_GE(ElapsedMs(start), 150);
  }
  {
    HeldResolver held;
    client.SetTimeOut(0);
    GuiCallLater abort(100, [&] { client.Abort(); });
    EXPECT_EQ(RaisedText<ESockError>([&] { client.Get("http://slow.invalid/"); }), "Host Lookup Canceled");
    EXPECT_TRUE(abort.Ran());
  }
}

TEST_F(THttpClientTest, TheConnectTimesOutOrIsCanceled) {
  testing_online::PendingConnectTarget target;
  if (!target.Ok()) GTEST_SKIP() << "the system completes every loopback connect";
  const std::string url = "http://127.0.0.1:" + std::to_string(target.Port()) + "/";
  client.SetTimeOut(200);
  EXPECT_EQ(RaisedText<ESockError>([&] { client.Get(url); }), "Connection Timed out");
  client.SetTimeOut(0);
  GuiCallLater abort(100, [&] { client.Abort(); });
  EXPECT_EQ(RaisedText<ESockError>([&] { client.Get(url); }), "Connection Canceled");
  EXPECT_TRUE(abort.Ran());
}

TEST_F(THttpClientTest, AbortEndsTheBodyRead) {
  LoopbackServer server([](LoopbackServer::Connection& c) {
    c.ReadRequest();
    c.Send("HTTP/1.0 200 OK\r\n\r\npart");
    c.WaitPeerClosed(5000);
  });
  // An Abort before the request does not count: the connect clears it.
  client.Abort();
  GuiCallLater abort(150, [&] { client.Abort(); });
  auto start = std::chrono::steady_clock::now();
  std::string cls;
  EXPECT_EQ(RaisedText<ESockError>([&] { client.Get(server.Url("/")); }, &cls), "Socket capture aborted");
  EXPECT_EQ(cls, "EAbortError");
  EXPECT_LT(ElapsedMs(start), 4000);
  EXPECT_TRUE(abort.Ran());
}

TEST_F(THttpClientTest, AOneByteLastBlockArrivesWhole) {
  const std::string body(3000, 'q');
  LoopbackServer server([&](LoopbackServer::Connection& c) {
    c.ReadRequest();
    c.Send("HTTP/1.0 200 OK\r\n\r\n" + body);
    c.Sleep(50);
    c.Send("!");
  });
  client.Get(server.Url("/"));
  EXPECT_EQ(client.GetBody(), body + "!");
}

TEST_F(THttpClientTest, AnEndlessBodyHitsTheCap) {
  LoopbackServer server([](LoopbackServer::Connection& c) {
    c.ReadRequest();
    std::string block(65536, 'e');
    if (!c.Send("HTTP/1.0 200 OK\r\n\r\n")) return;
    for (int i = 0; i < 2000 && c.Send(block); ++i) {
    }
  });
  std::string cls;
  EXPECT_EQ(RaisedText<ESockError>([&] { client.Get(server.Url("/")); }, &cls), "Reply body too large");
  EXPECT_EQ(cls, "ESockError");
  EXPECT_FALSE(client.GetConnected());
}

TEST_F(THttpClientTest, AResetMidBodyIsReportedWithItsCode) {
  LoopbackServer server([](LoopbackServer::Connection& c) {
    c.ReadRequest();
    c.Send("HTTP/1.0 200 OK\r\n\r\n" + std::string(1000, 'r'));
    c.Sleep(100);
    c.Reset();
  });
  EXPECT_EQ(RaisedText<ESockError>([&] { client.Get(server.Url("/")); }), "10054:Connection reset by peer");
}

TEST_F(THttpClientTest, WaitingKeepsProcessingMessages) {
  LoopbackServer server([](LoopbackServer::Connection& c) {
    c.ReadRequest();
    c.Sleep(300);
    c.Send(Ok("late"));
  });
  long before = app.ProcessMessagesCount.load();
  client.Get(server.Url("/"));
  EXPECT_EQ(client.GetBody(), "late");
  // 300 ms of waiting in 2 ms turns: well over ten turns even on a loaded machine.
  EXPECT_GE(app.ProcessMessagesCount.load() - before, 10);
}

TEST_F(THttpClientTest, ASecondGetFromAHandlerIsRefusedAndTheFirstCompletes) {
  LoopbackServer server([](LoopbackServer::Connection& c) {
    c.ReadRequest();
    c.Sleep(300);
    c.Send(Ok("first"));
  });
  std::string nested;
  GuiCallLater second(50, [&] { nested = RaisedText<ESockError>([&] { client.Get(server.Url("/other")); }); });
  client.Get(server.Url("/"));
  EXPECT_TRUE(second.Ran());
  EXPECT_EQ(nested, "Request already in progress");
  EXPECT_EQ(client.GetBody(), "first");
  EXPECT_EQ(server.ConnectionCount(), 1);
}

TEST_F(THttpClientTest, DisconnectFromAHandlerAbortsTheRequest) {
  LoopbackServer server([](LoopbackServer::Connection& c) {
    c.ReadRequest();
    c.WaitPeerClosed(5000);
  });
  GuiCallLater disconnect(100, [&] { client.Disconnect(); });
  EXPECT_EQ(RaisedText<EAbortError>([&] { client.Get(server.Url("/")); }), "Socket readln aborted");
  EXPECT_FALSE(client.GetConnected());
}
