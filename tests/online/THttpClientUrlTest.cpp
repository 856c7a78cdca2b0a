#include <gtest/gtest.h>

#include "online/THttpClient.h"

using online::THttpClient;

TEST(THttpClientUrl, InitialProperties) {
  THttpClient c(nullptr);
  EXPECT_EQ(c.GetBody(), "Default.htm");
  EXPECT_EQ(c.GetHeader(), "Head.txt");
  EXPECT_EQ(c.GetTimeOut(), 0);
  EXPECT_EQ(c.GetPort(), 0);
  EXPECT_EQ(c.GetProxyPort(), 0);
  EXPECT_EQ(c.GetReportLevel(), 0);
  EXPECT_FALSE(c.GetInputFileMode());
  EXPECT_FALSE(c.GetOutputFileMode());
  EXPECT_FALSE(c.GetConnected());
  EXPECT_EQ(c.ClassName(), "THttpClient");
}

TEST(THttpClientUrl, AUrlWithoutAPathGetsSlashAndTheCurrentUrlGainsIt) {
  THttpClient c(nullptr);
  c.ParseURL("http://news.example");
  EXPECT_EQ(c.GetHost(), "news.example");
  EXPECT_EQ(c.GetPath(), "/");
  EXPECT_EQ(c.GetURL(), "http://news.example/");
  EXPECT_EQ(c.GetPort(), 80);
  // No scheme, no slash at all: the whole text is the host.
  c.ParseURL("bare.example");
  EXPECT_EQ(c.GetHost(), "bare.example");
  EXPECT_EQ(c.GetURL(), "bare.example/");
}

TEST(THttpClientUrl, AnExplicitPortHoldsUntilTheNextSchemeResetsIt) {
  THttpClient c(nullptr);
  c.ParseURL("http://a.example:8080/feed?x=1");
  EXPECT_EQ(c.GetHost(), "a.example");
  EXPECT_EQ(c.GetPort(), 8080);
  EXPECT_EQ(c.GetPath(), "/feed?x=1");
  // A relative URL keeps host and port.
  c.ParseURL("/other");
  EXPECT_EQ(c.GetHost(), "a.example");
  EXPECT_EQ(c.GetPort(), 8080);
  EXPECT_EQ(c.GetPath(), "/other");
  c.ParseURL("HTTP://b.example/");
  EXPECT_EQ(c.GetPort(), 80);
  c.ParseURL("gopher://g.example/");
  EXPECT_EQ(c.GetPort(), 70);
  c.ParseURL("ftp://f.example/x");
  EXPECT_EQ(c.GetPort(), 21);
  // Without a scheme the text before the first colon counts as one: host:port.
  c.ParseURL("c.example:81/p");
  EXPECT_EQ(c.GetHost(), "c.example");
  EXPECT_EQ(c.GetPort(), 81);
}

TEST(THttpClientUrl, PathIsFromTheThirdSlashAndAtMost256Characters) {
  THttpClient c(nullptr);
  c.ParseURL("http://h.example/" + std::string(400, 'p'));
  EXPECT_EQ(c.GetPath(), "/" + std::string(255, 'p'));
  c.ParseURL("http://h.example/a/b//c");
  EXPECT_EQ(c.GetPath(), "/a/b//c");
}

TEST(THttpClientUrl, RefusedUrls) {
  THttpClient c(nullptr);
  try {
    c.ParseURL("");
    FAIL();
  } catch (const online::ESockError&) {
    FAIL() << "not a socket error";
  } catch (const framework::Exception& e) {
    EXPECT_STREQ(e.what(), "Empty URL");
  }
  try {
    c.ParseURL("HTTPS://secure.example/");
    FAIL();
  } catch (const online::ESockError&) {
    FAIL() << "not a socket error";
  } catch (const framework::Exception& e) {
    EXPECT_STREQ(e.what(), "HTTP Secure Socket is not supported");
  }
  EXPECT_THROW(c.ParseURL("http://h.example:80x/"), framework::EConvertError);
  EXPECT_THROW(c.ParseURL("http://h.example:/"), framework::EConvertError);
  EXPECT_THROW(c.Get(""), framework::Exception);
}

TEST(THttpClientUrl, BracketedIPv6HostsKeepTheirColons) {
  THttpClient c(nullptr);
  c.ParseURL("http://[::1]:8081/x");
  EXPECT_EQ(c.GetHost(), "[::1]");
  EXPECT_EQ(c.GetPort(), 8081);
  c.ParseURL("http://[fe80::2]/");
  EXPECT_EQ(c.GetHost(), "[fe80::2]");
  EXPECT_EQ(c.GetPort(), 80);
}

TEST(THttpClientUrl, RequestLinesDirectAndThroughAProxy) {
  THttpClient c(nullptr);
  c.ParseURL("http://weather.example/forecastrss?p=20001&u=f");
  EXPECT_EQ(c.BuildRequest(),
            "GET /forecastrss?p=20001&u=f HTTP/1.0\r\n"
            "Host: weather.example\r\n"
            "Accept: www/source, text/html, video/mpeg, image/jpeg, image/x-tiff\r\n"
            "Accept: image/x-rgb, image/x-xbm, image/gif, */*, application/postscript\r\n"
            "Content-type: application/x-www-form-urlencoded\r\n"
            "\r\n");
  c.SetProxy("proxy.example");
  c.SetProxyPort(3128);
  EXPECT_EQ(c.BuildRequest(),
            "GET http://weather.example/forecastrss?p=20001&u=f HTTP/1.0\r\n"
            "Proxy-Connection: Keep-Alive\r\n"
            "Host: weather.example\r\n"
            "Accept: www/source, text/html, video/mpeg, image/jpeg, image/x-tiff\r\n"
            "Accept: image/x-rgb, image/x-xbm, image/gif, */*, application/postscript\r\n"
            "Content-type: application/x-www-form-urlencoded\r\n"
            "\r\n");
  // A proxy needs the absolute URL even after a redirect to a bare path.
  c.ParseURL("http://w.example:8080/a");
  c.ParseURL("/b");
  EXPECT_EQ(c.BuildRequest().substr(0, 40), "GET http://w.example:8080/b HTTP/1.0\r\nPr");
}
