#include "bridge/Url.h"

#include <curl/curl.h>

#include <cctype>
#include <memory>

#include "bridge/AsciiText.h"

namespace bridge {

namespace {

struct UrlFree {
  void operator()(CURLU* u) const { curl_url_cleanup(u); }
};

std::string Part(CURLU* u, CURLUPart part) {
  char* value = nullptr;
  if (curl_url_get(u, part, &value, 0) != CURLUE_OK || !value) return {};
  std::string out(value);
  curl_free(value);
  return out;
}

}  // namespace

std::optional<Url> Url::Parse(std::string_view text) {
  if (text.empty() || text.size() > 8192) return std::nullopt;
  for (char c : text)
    if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7F) return std::nullopt;
  std::unique_ptr<CURLU, UrlFree> u(curl_url());
  if (!u || curl_url_set(u.get(), CURLUPART_URL, std::string(text).c_str(), CURLU_NON_SUPPORT_SCHEME | CURLU_PATH_AS_IS) != CURLUE_OK)
    return std::nullopt;
  Url url;
  url.scheme = AsciiLower(Part(u.get(), CURLUPART_SCHEME));
  if (url.scheme != "http" && url.scheme != "https") return std::nullopt;
  url.host = AsciiLower(Part(u.get(), CURLUPART_HOST));
  if (url.host.size() >= 2 && url.host.front() == '[' && url.host.back() == ']')
  {
    url.host.pop_back();
    url.host.erase(0, 1);
  }
  if (url.host.empty() || !Part(u.get(), CURLUPART_USER).empty()) return std::nullopt;
  const std::string port = Part(u.get(), CURLUPART_PORT);
  url.port = port.empty() ? (url.scheme == "https" ? 443 : 80) : std::stoi(port);
  url.path = Part(u.get(), CURLUPART_PATH);
  if (url.path.empty()) url.path.push_back('/');  // not a literal assign: GCC 12 warns falsely (-Wrestrict)
  url.query = Part(u.get(), CURLUPART_QUERY);
  return url;
}

std::string Url::Authority() const {
  std::string out;
  const bool v6 = host.find(':') != std::string::npos;
  if (v6) out += '[';
  out += host;
  if (v6) out += ']';
  if (port != (scheme == "https" ? 443 : 80)) {
    out += ':';
    out += std::to_string(port);
  }
  return out;
}

std::string Url::ToString() const {
  std::string out = scheme + "://" + Authority() + path;
  if (!query.empty()) {
    out += '?';
    out += query;
  }
  return out;
}

std::vector<std::pair<std::string, std::string>> QueryPairs(std::string_view query) {
  std::vector<std::pair<std::string, std::string>> pairs;
  while (!query.empty()) {
    const std::size_t amp = query.find('&');
    const std::string_view item = query.substr(0, amp);
    query = amp == std::string_view::npos ? std::string_view() : query.substr(amp + 1);
    if (item.empty()) continue;
    const std::size_t eq = item.find('=');
    pairs.emplace_back(std::string(item.substr(0, eq)),
                       eq == std::string_view::npos ? std::string() : std::string(item.substr(eq + 1)));
  }
  return pairs;
}

std::string QueryValue(std::string_view query, std::string_view name) {
  for (auto& [key, value] : QueryPairs(query))
    if (key == name) return value;
  return {};
}

}  // namespace bridge
