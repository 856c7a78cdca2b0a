#include "BridgeFixtures.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace testing_bridge {

namespace {

std::string Gzip(const std::string& data) {
  std::string pattern = (std::filesystem::temp_directory_path() / "brisvane-gz-XXXXXX").string();
  const int fd = mkstemp(pattern.data());
  if (fd < 0) return {};
  ::close(fd);
  std::ofstream(pattern, std::ios::binary) << data;
  std::string out;
  if (FILE* p = popen(("gzip -c " + pattern).c_str(), "r")) {
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, p)) > 0;) out.append(buffer, n);
    pclose(p);
  }
  std::filesystem::remove(pattern);
  return out;
}

}  // namespace

Bridge::Bridge(std::vector<std::string> args, std::map<std::string, std::string> env)
    : process(BridgeProcess::Launch{std::move(args), std::move(env)}) {
  port = process.WaitListening(kStartMs);
}

std::string Bridge::Logged(const std::string& target) const {
  const std::string log = process.Stderr(), prefix = "brisvane-bridge: ", suffix = " " + target + "\n";
  for (size_t at = log.find(suffix); at != std::string::npos; at = log.find(suffix, at + 1)) {
    const size_t start = log.rfind('\n', at);
    const std::string line = log.substr(start == std::string::npos ? 0 : start + 1);
    if (line.starts_with(prefix)) return line.substr(prefix.size(), line.find('\n') - prefix.size());
  }
  return {};
}

std::vector<std::string> Args(std::initializer_list<std::string> extra) {
  std::vector<std::string> args = {"--port", "0", "--allow-loopback-upstream"};
  args.insert(args.end(), extra);
  return args;
}

std::string Json(const std::string& body) {
  return FakeUpstream::Reply("200 OK", "Content-Type: application/json\r\n", body);
}

std::string Rss(const std::string& body, const std::string& type) {
  return FakeUpstream::Reply("200 OK", "Content-Type: " + type + "\r\n", body);
}

const char* const kNotAFeedPage = "<!DOCTYPE html>\n<html><body><p>Not a feed \xFF</p></body></html>\n";

std::string SecureFeed() {
  return "<?xml version=\"1.0\"?><rss version=\"2.0\"><channel><title>Secure</title>"
         "<link>https://s.example/</link><item><title>Over TLS</title></item></channel></rss>";
}

std::map<std::string, std::string> NewsRoutes(const std::string& secureFeedUrl) {
  return {
      {"/rss2", Rss("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rss version=\"2.0\"><channel><title>World</title>"
                    "<link>http://w.example/</link><item><title>One</title></item><item><title>Two</title></item>"
                    "<item><title>Three</title></item></channel></rss>")},
      {"/rss1", Rss("<?xml version=\"1.0\"?><rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\" "
                    "xmlns=\"http://purl.org/rss/1.0/\"><channel><title>RDF</title><link>http://r/</link></channel>"
                    "<item><title>R1</title></item><item><title>R2</title></item></rdf:RDF>")},
      {"/atom", Rss("<?xml version=\"1.0\"?><feed xmlns=\"http://www.w3.org/2005/Atom\"><title>Atom</title>"
                    "<link href=\"http://a/\"/><entry><title>A1</title></entry><entry><title type=\"html\">"
                    "&lt;em&gt;A2&lt;/em&gt;</title></entry></feed>",
                    "application/atom+xml")},
      {"/cp1252", Rss("<?xml version=\"1.0\" encoding=\"windows-1252\"?><rss><channel><title>Caf\xE9</title>"
                      "<link>http://c/</link><item><title>\x93Quoted\x94 \x80 5</title></item></channel></rss>")},
      {"/gb2312", Rss("<?xml version=\"1.0\" encoding=\"GB2312\"?><rss><channel><title>\xD0\xC2\xCE\xC5</title>"
                      "<link>http://g/</link><item><title>\xD6\xD0\xCE\xC4</title></item></channel></rss>")},
      {"/marks", Rss("<?xml version=\"1.0\"?><rss><channel><title>Fish &amp; Chips</title><link>http://m/?a=1&amp;b=2</link>"
                     "<item><title>Salt &amp; vinegar; malt</title></item><item><title>1 &lt; 2</title></item>"
                     "<item><title><![CDATA[<b>Bold</b> & brave]]></title></item></channel></rss>")},
      {"/quotes", Rss("\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?><rss version=\"2.0\"><channel>"
                      "<title>It's \"news\"</title><link>http://q/</link><item><title>Ministers\xE2\x80\x99 "
                      "&quot;plan&quot; &gt; 3 &amp;amp; more</title></item></channel></rss>")},
      {"/gz", FakeUpstream::Reply("200 OK", "Content-Type: application/rss+xml\r\nContent-Encoding: gzip\r\n",
                                  Gzip("<rss><channel><title>Zipped</title><link>http://z/</link>"
                                       "<item><title>Z</title></item></channel></rss>"))},
      {"/moved", FakeUpstream::Reply("301 Moved Permanently", "Location: " + secureFeedUrl + "\r\n", "")},
      {"/page", FakeUpstream::Reply("200 OK", "Content-Type: text/html\r\n", kNotAFeedPage)},
  };
}

std::vector<NewsCase> NewsCases() {
  const std::string sep = "  ***  ";
  auto line = [&sep](std::initializer_list<std::string> titles) {
    std::string out = sep;
    for (const std::string& t : titles) out += t + sep;
    return out;
  };
  return {
      {"/rss2", "World", line({"One", "Two", "Three"}), "http://w.example/"},
      {"/rss1", "RDF", line({"R1", "R2"}), "http://r/"},
      {"/atom", "Atom", line({"A1", "A2"}), "http://a/"},
      {"/cp1252", "Caf\xC3\xA9", line({"\xE2\x80\x9CQuoted\xE2\x80\x9D \xE2\x82\xAC 5"}), "http://c/"},
      {"/gb2312", "\xE6\x96\xB0\xE9\x97\xBB", line({"\xE4\xB8\xAD\xE6\x96\x87"}), "http://g/"},
      {"/marks", "Fish & Chips", line({"Salt & vinegar; malt", "1 < 2", "Bold & brave"}), "http://m/?a=1&b=2"},
      // The source's own "&amp;amp;" is the text "&amp;", which the ticker decodes once more.
      {"/quotes", "It's \"news\"", line({"Ministers' \"plan\" > 3 & more"}), "http://q/"},
      {"/gz", "Zipped", line({"Z"}), "http://z/"},
      {"/moved", "Secure", line({"Over TLS"}), "https://s.example/"},
  };
}

NewsFeeds::NewsFeeds()
    : https(FakeUpstream::Routes({{"/feed", Rss(SecureFeed())}}), &ca.Leaf()),
      http(FakeUpstream::Routes(NewsRoutes(https.Url("/feed")))),
      bridge(Args({"--ca-file", ca.CaFile()})) {}

std::string NewsFeeds::Failure() const {
  if (!ca.Ok()) return "test CA: " + ca.Error();
  if (!https.Ok() || !http.Ok()) return "a fake upstream did not start";
  if (bridge.port <= 0) return "the bridge did not start: " + bridge.process.Stderr();
  return {};
}

HostileProxy::HostileProxy() {
  FSecret = std::make_unique<FakeUpstream>(
      FakeUpstream::Routes({{"/", Rss("<rss><channel><title>secret</title></channel></rss>")}}));
  const std::string secretUrl = FSecret->Url("/");
  const int secretPort = FSecret->Port();
  FProxy = std::make_unique<FakeUpstream>([this, secretUrl, secretPort](const FakeUpstream::Request& r,
                                                                        FakeUpstream::Connection& c) {
    const size_t slash = r.target.find('/', 7);
    std::string path = slash == std::string::npos ? r.target : r.target.substr(slash);
    path = path.substr(0, path.find('?'));
    if (path == "/silent" || path == "/v1/forecast") {
      c.Sleep(40000);
    } else if (path == "/endless") {
      c.Send("HTTP/1.1 200 OK\r\nContent-Type: application/rss+xml\r\n\r\n<rss><channel><title>");
      const std::string chunk(65536, 'x');
      for (int i = 0; i < 4000 && c.Send(chunk); ++i) FEndlessBytes += static_cast<long>(chunk.size());
    } else if (path == "/huge") {
      const std::string chunk(65536, 'y');
      c.Send("HTTP/1.1 200 OK\r\nContent-Length: 52428800\r\n\r\n");
      for (int i = 0; i < 800 && c.Send(chunk); ++i) {
      }
    } else if (path == "/dense") {
      static const std::string dense = [] {
        std::string body = "<rss><channel><title>Dense</title><link>l</link><item><title>first</title></item>";
        for (int i = 0; i < 1000000; ++i) body += "<a/>";
        return body + "</channel></rss>";
      }();
      c.Send(Rss(dense));
    } else if (path == "/loop") {
      c.Send(FakeUpstream::Reply("302 Found", "Location: http://hostile.example/loop\r\n", ""));
    } else if (path == "/file") {
      c.Send(FakeUpstream::Reply("302 Found", "Location: file:///etc/passwd\r\n", ""));
    } else if (path == "/local") {
      c.Send(FakeUpstream::Reply("302 Found", "Location: " + secretUrl + "\r\n", ""));
    } else if (path == "/localhost") {
      c.Send(FakeUpstream::Reply("302 Found", "Location: http://localhost:" + std::to_string(secretPort) + "/\r\n", ""));
    } else {
      c.Send(Rss("<rss><channel><title>fine</title><link>l</link><item><title>ok</title></item></channel></rss>"));
    }
  });
}

}  // namespace testing_bridge
