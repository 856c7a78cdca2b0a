// The bridge's feed normaliser on arbitrary bytes: besides not crashing, what
// it writes must stay in the form the saver's cuts read.
#include <cstdlib>
#include <string>
#include <string_view>

#include "bridge/FeedNormaliser.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view body(reinterpret_cast<const char*>(data), size);
  // The first byte picks an HTTP charset, as a reply's Content-Type would.
  static constexpr std::string_view kCharsets[] = {"", "utf-8", "iso-8859-1", "gb2312", "utf-16", "x-unknown"};
  const std::string_view charset = size ? kCharsets[data[0] % std::size(kCharsets)] : "";
  std::optional<std::string> out = bridge::FeedNormaliser::Normalise(body, charset, "fuzz.example");
  if (!out) return 0;
  Require(bridge::IsValidUtf8(*out));
  Require(out->starts_with("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rss version=\"2.0\">\n<channel>\n<title>"));
  std::size_t items = 0;
  for (std::size_t at = out->find("<item>\n<title>"); at != std::string::npos; at = out->find("<item>\n<title>", at + 1)) {
    ++items;
    const std::size_t start = at + 14, end = out->find("</title>", start);
    Require(end != std::string::npos);
    const std::string_view title(out->data() + start, end - start);
    // Markup and control bytes inside a title would break the saver's cuts.
    for (char c : title) Require(c != '<' && c != '>' && static_cast<unsigned char>(c) >= 0x20);
  }
  Require(items <= bridge::FeedNormaliser::kMaxEntries);
  // Every marker the saver cuts by appears only where it belongs.
  auto count = [&out](std::string_view marker) {
    std::size_t n = 0;
    for (std::size_t at = out->find(marker); at != std::string::npos; at = out->find(marker, at + 1)) ++n;
    return n;
  };
  Require(count("<item>") == items && count("</item>") == items);
  Require(count("<title>") == items + 1 && count("</title>") == items + 1);
  Require(count("<link>") == count("</link>") && count("<link>") <= items + 1);
  return 0;
}
