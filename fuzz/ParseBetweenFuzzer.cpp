// ParseBetween: the first two bytes give the lengths of the begin and end
// markers (a begin length of 0 means "BEGIN"), the rest is the text.
#include "fuzz/FeedCheck.h"
#include "online/FeedText.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const std::string input = FuzzText(data + 2, size - 2);
  const std::size_t beginLength = data[0] % 9, endLength = 1 + data[1] % 8;
  if (beginLength + endLength > input.size()) return 0;
  const std::string begin = beginLength ? input.substr(0, beginLength) : "BEGIN";
  const std::string end = input.substr(beginLength, endLength);
  const std::string text = input.substr(beginLength + endLength);

  std::string segment = "\x01untouched";
  const std::string rest = online::ParseBetween(text, begin, end, segment);
  std::string_view viewSegment, viewRest;
  const bool found = online::CutBetween(text, begin, end, viewSegment, viewRest);
  if (!found) {
    FuzzRequire(rest == "FIN" && segment == "\x01untouched");
    return 0;
  }
  FuzzRequire(segment == viewSegment && rest == viewRest);
  std::size_t start = 0;
  if (begin != "BEGIN") {
    start = text.find(begin);
    FuzzRequire(start != std::string::npos);
    start += begin.size();
  }
  // The segment runs up to the first end marker after the start; the rest follows it.
  FuzzRequire(text.substr(start) == segment + end + rest);
  FuzzRequire((segment + end).find(end) == segment.size());
  return 0;
}
