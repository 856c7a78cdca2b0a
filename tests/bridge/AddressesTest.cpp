#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>

#include <map>

#include "bridge/AddressPolicy.h"
#include "bridge/NewsAddress.h"
#include "bridge/ProxyEnvironment.h"
#include "bridge/Url.h"

namespace {

using bridge::AddressClass;

AddressClass Classify(const std::string& text) {
  sockaddr_storage ss{};
  if (text.find(':') != std::string::npos) {
    auto* a = reinterpret_cast<sockaddr_in6*>(&ss);
    a->sin6_family = AF_INET6;
    EXPECT_EQ(inet_pton(AF_INET6, text.c_str(), &a->sin6_addr), 1) << text;
  } else {
    auto* a = reinterpret_cast<sockaddr_in*>(&ss);
    a->sin_family = AF_INET;
    EXPECT_EQ(inet_pton(AF_INET, text.c_str(), &a->sin_addr), 1) << text;
  }
  return bridge::ClassifyAddress(reinterpret_cast<sockaddr*>(&ss));
}

TEST(AddressPolicy, OnlyPublicAddressesAreUpstream) {
  const std::pair<const char*, AddressClass> cases[] = {
      {"127.0.0.1", AddressClass::Loopback},     {"127.255.0.9", AddressClass::Loopback},
      {"::1", AddressClass::Loopback},           {"::ffff:127.0.0.1", AddressClass::Loopback},
      {"10.1.2.3", AddressClass::Restricted},    {"172.16.0.1", AddressClass::Restricted},
      {"172.31.255.255", AddressClass::Restricted}, {"192.168.1.1", AddressClass::Restricted},
      {"169.254.169.254", AddressClass::Restricted}, {"100.64.0.1", AddressClass::Restricted},
      {"0.0.0.0", AddressClass::Restricted},     {"224.0.0.251", AddressClass::Restricted},
      {"255.255.255.255", AddressClass::Restricted}, {"198.18.0.1", AddressClass::Restricted},
      {"fc00::1", AddressClass::Restricted},     {"fd12:3456::1", AddressClass::Restricted},
      {"fe80::1", AddressClass::Restricted},     {"::", AddressClass::Restricted},
      {"::ffff:10.0.0.1", AddressClass::Restricted}, {"64:ff9b::a00:1", AddressClass::Restricted},
      {"2002:c0a8:101::1", AddressClass::Restricted}, {"ff02::1", AddressClass::Restricted},
      {"2001:db8::1", AddressClass::Restricted},
      {"8.8.8.8", AddressClass::Public},         {"172.32.0.1", AddressClass::Public},
      {"172.15.255.255", AddressClass::Public},  {"192.169.0.1", AddressClass::Public},
      {"100.128.0.1", AddressClass::Public},     {"2a00:1450:4001::200e", AddressClass::Public},
      {"::ffff:151.101.1.1", AddressClass::Public}, {"2002:9765:101::1", AddressClass::Public},
  };
  for (const auto& [text, kind] : cases) EXPECT_EQ(Classify(text), kind) << text;
}

TEST(AddressPolicy, HostsThatAreAddressesOrLoopbackNames) {
  const std::pair<const char*, std::optional<AddressClass>> cases[] = {
      {"localhost", AddressClass::Loopback},       {"LOCALHOST.", AddressClass::Loopback},
      {"api.localhost", AddressClass::Loopback},   {"127.0.0.1", AddressClass::Loopback},
      {"[::1]", AddressClass::Loopback},           {"10.0.0.8", AddressClass::Restricted},
      {"2130706433", AddressClass::Restricted},    {"0x7f.1", AddressClass::Restricted},
      {"127.1", AddressClass::Restricted},         {"93.184.216.34", AddressClass::Public},
      {"example.com", std::nullopt},              {"1e100.net", std::nullopt},
      {"localhost.example", std::nullopt},
  };
  for (const auto& [host, kind] : cases) EXPECT_EQ(bridge::ClassifyHost(host), kind) << host;
}

TEST(Url, ParsesOnlyHttpAddresses) {
  std::optional<bridge::Url> u = bridge::Url::Parse("HTTP://News.Example.COM:8080/a/../b?x=1&y");
  ASSERT_TRUE(u);
  EXPECT_EQ(u->scheme, "http");
  EXPECT_EQ(u->host, "news.example.com");
  EXPECT_EQ(u->port, 8080);
  EXPECT_EQ(u->path, "/a/../b");  // forwarded as written
  EXPECT_EQ(u->query, "x=1&y");
  EXPECT_EQ(u->ToString(), "http://news.example.com:8080/a/../b?x=1&y");
  std::optional<bridge::Url> v6 = bridge::Url::Parse("https://[::1]/");
  ASSERT_TRUE(v6);
  EXPECT_EQ(v6->host, "::1");
  EXPECT_EQ(v6->port, 443);
  EXPECT_EQ(v6->Authority(), "[::1]");
  for (const char* bad : {"", "file:///etc/passwd", "ftp://h/", "gopher://h/", "http://", "http://u:p@h/",
                          "http://h/a b", "//h/", "h/path", "http://h:99999/"})
    EXPECT_FALSE(bridge::Url::Parse(bad)) << bad;
  EXPECT_EQ(bridge::QueryValue("a=1&&b=&c", "b"), "");
  EXPECT_EQ(bridge::QueryValue("a=1&b=2=3", "b"), "2=3");
  EXPECT_EQ(bridge::QueryPairs("a=1&&b=&c").size(), 3u);
}

TEST(NewsAddress, RetiredNewsPortalFeedsGetTheirCurrentForm) {
  const std::pair<const char*, const char*> cases[] = {
      {"http://news.google.com/news?ned=us&topic=w&output=rss",
       "https://news.google.com/rss/headlines/section/topic/WORLD?hl=en-US&gl=US&ceid=US:en"},
      {"http://news.google.com/news?ned=uk&topic=b&output=rss",
       "https://news.google.com/rss/headlines/section/topic/BUSINESS?hl=en-GB&gl=GB&ceid=GB:en"},
      {"http://news.google.com/news?topic=tc&output=rss&ned=us",
       "https://news.google.com/rss/headlines/section/topic/TECHNOLOGY?hl=en-US&gl=US&ceid=US:en"},
      {"http://news.google.com/news?ned=us&topic=h&output=rss", "https://news.google.com/rss?hl=en-US&gl=US&ceid=US:en"},
      {"http://news.google.com/news?output=rss", "https://news.google.com/rss?hl=en-US&gl=US&ceid=US:en"},
      {"http://NEWS.GOOGLE.COM/news/?ned=de&topic=snc&output=atom",
       "https://news.google.com/rss/headlines/section/topic/SCIENCE?hl=de&gl=DE&ceid=DE:de"},
      {"http://news.google.com/news?q=lake+weather&output=rss",
       "https://news.google.com/rss/search?q=lake+weather&hl=en-US&gl=US&ceid=US:en"},
  };
  for (const auto& [from, to] : cases) {
    std::optional<bridge::Url> url = bridge::Url::Parse(from);
    ASSERT_TRUE(url) << from;
    EXPECT_EQ(bridge::CurrentFeedAddress(*url).value_or("(kept)"), to) << from;
  }
  for (const char* kept : {"http://news.google.com/news?ned=us&topic=w", "http://news.google.com/rss?hl=en-US",
                           "http://news.example.com/news?output=rss", "http://feeds.bbci.co.uk/news/world/rss.xml"})
    EXPECT_FALSE(bridge::CurrentFeedAddress(*bridge::Url::Parse(kept))) << kept;
}

TEST(ProxyEnvironment, ChoosesAsLibcurlDoesButNeverTheBridgeItself) {
  struct Case {
    std::map<std::string, std::string> env;
    const char* url;
    const char* proxy;
  };
  const Case cases[] = {
      {{}, "http://a.example/", ""},
      {{{"http_proxy", "http://corp:3128"}}, "http://a.example/", "http://corp:3128"},
      {{{"HTTP_PROXY", "http://corp:3128"}}, "http://a.example/", ""},
      {{{"http_proxy", "http://corp:3128"}}, "https://a.example/", ""},
      {{{"HTTPS_PROXY", "corp:3129"}}, "https://a.example/", "corp:3129"},
      {{{"https_proxy", "a:1"}, {"HTTPS_PROXY", "b:2"}}, "https://a.example/", "a:1"},
      {{{"all_proxy", "socks5h://s:1080"}}, "https://a.example/", "socks5h://s:1080"},
      {{{"http_proxy", "http://corp:3128"}, {"no_proxy", "example.org, .a.example"}}, "http://x.a.example/", ""},
      {{{"http_proxy", "http://corp:3128"}, {"no_proxy", "a.example"}}, "http://xa.example/", "http://corp:3128"},
      {{{"http_proxy", "http://corp:3128"}, {"NO_PROXY", "*"}}, "http://a.example/", ""},
      {{{"http_proxy", "http://127.0.0.1:8411"}}, "http://a.example/", ""},
      {{{"http_proxy", "localhost:8411"}}, "http://a.example/", ""},
      {{{"http_proxy", "http://127.0.0.1:3128"}}, "http://a.example/", "http://127.0.0.1:3128"},
      // The bridge's own port on this machine, in the other forms that reach it.
      {{{"http_proxy", "http://0.0.0.0:8411"}}, "http://a.example/", ""},
      {{{"http_proxy", "[::]:8411"}}, "http://a.example/", ""},
      {{{"http_proxy", "http://[::1]:8411/"}}, "http://a.example/", ""},
      {{{"http_proxy", "http://[::ffff:127.0.0.1]:8411"}}, "http://a.example/", ""},
      {{{"https_proxy", "http://127.1:8411"}}, "https://a.example/", ""},
      {{{"all_proxy", "http://2130706433:8411"}}, "http://a.example/", ""},
      {{{"http_proxy", "http://LOCALHOST.:8411"}}, "http://a.example/", ""},
      {{{"http_proxy", "http://0.0.0.0:3128"}}, "http://a.example/", "http://0.0.0.0:3128"},
      {{{"http_proxy", "http://bridge.example:8411"}}, "http://a.example/", "http://bridge.example:8411"},
  };
  for (const Case& c : cases) {
    bridge::ProxyEnvironment proxies(
        [&c](const char* name) -> const char* {
          auto it = c.env.find(name);
          return it == c.env.end() ? nullptr : it->second.c_str();
        },
        8411);
    EXPECT_EQ(proxies.ProxyFor(*bridge::Url::Parse(c.url)), c.proxy) << c.url << " " << c.env.size();
  }
}

}  // namespace
