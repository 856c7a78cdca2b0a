#include "bridge/UpstreamFetcher.h"

#include <curl/curl.h>
#include <sys/socket.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <sstream>

#include "bridge/AddressPolicy.h"
#include "bridge/Url.h"

namespace bridge {

namespace {

std::string ReadFile(const std::string& path, bool& ok) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  ok = static_cast<bool>(in) || in.eof();
  return s.str();
}

std::string SystemCaBundlePath() {
  CURL* probe = curl_easy_init();
  std::string path = "/etc/ssl/certs/ca-certificates.crt";
  char* info = nullptr;
  if (probe && curl_easy_getinfo(probe, CURLINFO_CAINFO, &info) == CURLE_OK && info) path = info;
  if (probe) curl_easy_cleanup(probe);
  return path;
}

struct Transfer {
  const FetcherOptions* options = nullptr;
  const FetchRequest* request = nullptr;
  bool viaProxy = false;
  bool proxyIsBridge = false;
  bool refusedAddress = false;
  bool tooLarge = false;
  std::string body;
  std::map<std::string, std::string> headers;
};

size_t OnBody(char* data, size_t size, size_t count, void* user) {
  auto* t = static_cast<Transfer*>(user);
  const size_t n = size * count;
  // Debian's libcurl does not stop a running transfer at its size limit.
  if (t->body.size() + n > t->request->maxBytes) {
    t->tooLarge = true;
    return 0;
  }
  t->body.append(data, n);
  return n;
}

size_t OnHeader(char* data, size_t size, size_t count, void* user) {
  auto* t = static_cast<Transfer*>(user);
  const size_t n = size * count;
  std::string line(data, n);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  if (line.starts_with("HTTP/")) {
    t->headers.clear();  // a new reply: a proxy's, an interim one, or a redirect's
    return n;
  }
  const size_t colon = line.find(':');
  if (colon == std::string::npos || t->headers.size() > 200) return n;
  std::string name = line.substr(0, colon);
  for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  size_t start = colon + 1;
  while (start < line.size() && (line[start] == ' ' || line[start] == '\t')) ++start;
  t->headers[name] = line.substr(start, 2048);
  return n;
}

int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  auto* t = static_cast<Transfer*>(user);
  return t->request->cancel && t->request->cancel->load() ? 1 : 0;
}

// Every connection libcurl opens passes here with its resolved address, so a
// name that resolves to a local address (or a redirect to one) is refused.
curl_socket_t OnOpenSocket(void* user, curlsocktype, curl_sockaddr* address) {
  auto* t = static_cast<Transfer*>(user);
  const sockaddr* sa = &address->addr;
  // A proxy name that resolves to the bridge itself: the hop goes direct instead.
  if (t->viaProxy && ReachesThisMachine(sa) && PortOf(sa) == t->options->ownPort) {
    t->proxyIsBridge = true;
    return CURL_SOCKET_BAD;
  }
  bool allowed = t->viaProxy;  // the user's own proxy, wherever it is
  if (!allowed) {
    const AddressClass kind = ClassifyAddress(sa);
    allowed = kind == AddressClass::Public ||
              (kind == AddressClass::Loopback && t->options->allowLoopback && PortOf(sa) != t->options->ownPort);
  }
  if (!allowed) {
    t->refusedAddress = true;
    return CURL_SOCKET_BAD;
  }
  return ::socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
}

bool IsRedirect(long status) { return status == 301 || status == 302 || status == 303 || status == 307 || status == 308; }

}  // namespace

std::string FetchResult::Header(const std::string& lowerName) const {
  auto it = headers.find(lowerName);
  return it == headers.end() ? std::string() : it->second;
}

UpstreamFetcher::UpstreamFetcher(FetcherOptions options)
    : FOptions(std::move(options)), FProxies(FOptions.environment, FOptions.ownPort) {
  if (FOptions.extraCaFile.empty()) return;
  bool ok = false;
  std::string extra = ReadFile(FOptions.extraCaFile, ok);
  if (!ok || extra.find("-----BEGIN CERTIFICATE-----") == std::string::npos) {
    FCaError = "cannot read a certificate from " + FOptions.extraCaFile;
    return;
  }
  // Setting a CA file replaces the system's; both are wanted.
  bool systemOk = false;
  FCaBundle = ReadFile(SystemCaBundlePath(), systemOk);
  if (!FCaBundle.empty() && FCaBundle.back() != '\n') FCaBundle += '\n';
  FCaBundle += extra;
}

bool UpstreamFetcher::Ready(std::string& error) const {
  error = FCaError;
  return FCaError.empty();
}

FetchResult UpstreamFetcher::Fetch(const FetchRequest& request) const {
  FetchResult result;
  const auto deadline = std::chrono::steady_clock::now() + request.timeout;
  std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> curl(curl_easy_init(), &curl_easy_cleanup);
  if (!curl) {
    result.error = "libcurl could not start";
    return result;
  }
  Transfer t;
  t.options = &FOptions;
  t.request = &request;
  CURL* h = curl.get();
  curl_slist* headers = nullptr;
  for (const std::string& line : request.headers) headers = curl_slist_append(headers, line.c_str());
  std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)> headerList(headers, &curl_slist_free_all);

  curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 0L);  // followed below, hop by hop
  curl_easy_setopt(h, CURLOPT_USERAGENT, request.userAgent.c_str());
  curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers);
  curl_easy_setopt(h, CURLOPT_ACCEPT_ENCODING, "");
  curl_easy_setopt(h, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(request.maxBytes));
  curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, OnBody);
  curl_easy_setopt(h, CURLOPT_WRITEDATA, &t);
  curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, OnHeader);
  curl_easy_setopt(h, CURLOPT_HEADERDATA, &t);
  curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, OnProgress);
  curl_easy_setopt(h, CURLOPT_XFERINFODATA, &t);
  curl_easy_setopt(h, CURLOPT_OPENSOCKETFUNCTION, OnOpenSocket);
  curl_easy_setopt(h, CURLOPT_OPENSOCKETDATA, &t);
  curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, 10L);
  curl_easy_setopt(h, CURLOPT_TCP_KEEPALIVE, 0L);
  if (!FCaBundle.empty()) {
    curl_blob blob{const_cast<char*>(FCaBundle.data()), FCaBundle.size(), CURL_BLOB_NOCOPY};
    curl_easy_setopt(h, CURLOPT_CAINFO_BLOB, &blob);
  }

  std::string current = request.url;
  bool direct = false;  // the proxy turned out to be the bridge itself
  for (int hop = 0;; ++hop) {
    std::optional<Url> url = Url::Parse(current);
    if (!url) {
      result.outcome = FetchResult::Outcome::Refused;
      result.error = hop == 0 ? "not an http or https address" : "redirected to something other than http or https";
      return result;
    }
    if (std::optional<AddressClass> kind = ClassifyHost(url->host);
        kind && *kind != AddressClass::Public &&
        !(*kind == AddressClass::Loopback && FOptions.allowLoopback && url->port != FOptions.ownPort)) {
      result.outcome = FetchResult::Outcome::Refused;
      result.error = "refused to connect to the local address " + url->host;
      return result;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      result.outcome = FetchResult::Outcome::TimedOut;
      result.error = "timed out";
      return result;
    }
    const std::string proxy = direct ? std::string() : FProxies.ProxyFor(*url);
    t.viaProxy = !proxy.empty();
    t.proxyIsBridge = false;
    t.body.clear();
    t.headers.clear();
    curl_easy_setopt(h, CURLOPT_URL, current.c_str());
    curl_easy_setopt(h, CURLOPT_PROXY, proxy.c_str());  // empty: direct, whatever the environment says
    curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, static_cast<long>(left.count()));
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS,
                     static_cast<long>(std::min(left, FOptions.connectTimeout).count()));

    const CURLcode code = curl_easy_perform(h);
    result.finalUrl = current;
    result.redirects = hop;
    if (code != CURLE_OK && t.proxyIsBridge) {
      direct = true;
      --hop;  // the same hop again
      continue;
    }
    if (code != CURLE_OK) {
      using O = FetchResult::Outcome;
      if (t.tooLarge || code == CURLE_FILESIZE_EXCEEDED) result.outcome = O::TooLarge;
      else if (t.refusedAddress) result.outcome = O::Refused;
      else if (code == CURLE_OPERATION_TIMEDOUT) result.outcome = O::TimedOut;
      else if (code == CURLE_ABORTED_BY_CALLBACK) result.outcome = O::Cancelled;
      else result.outcome = O::Failed;
      result.error = t.refusedAddress ? "refused to connect to a local address" : curl_easy_strerror(code);
      return result;
    }
    long status = 0;
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
    char* location = nullptr;
    curl_easy_getinfo(h, CURLINFO_REDIRECT_URL, &location);
    if (IsRedirect(status) && location && *location) {
      if (hop >= FetcherOptions::kMaxRedirects) {
        result.outcome = FetchResult::Outcome::TooManyRedirects;
        result.status = status;
        result.error = "more than 5 redirects";
        return result;
      }
      current = location;
      continue;
    }
    result.outcome = FetchResult::Outcome::Ok;
    result.status = status;
    result.body = std::move(t.body);
    result.headers = std::move(t.headers);
    return result;
  }
}

}  // namespace bridge
