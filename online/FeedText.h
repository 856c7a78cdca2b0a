// The text work of the feeds, without any network: cutting between markers,
// the clean-up of feed texts and the cutting of whole weather and news replies.
// Replies are byte strings; nothing here parses XML.
#pragma once

#include <string>
#include <string_view>

namespace online {

// Cuts Text between the first Begin (or the first character when Begin is
// "BEGIN") and the next End after it. On success Segment is the text between
// and the result is the text after End; when a marker is missing the result
// is "FIN" and Segment is left as it was.
std::string ParseBetween(std::string Text, std::string Begin, std::string End, std::string& Segment);
// The same cut over views of the text: false when a marker is missing.
bool CutBetween(std::string_view text, std::string_view begin, std::string_view end, std::string_view& segment,
                std::string_view& rest);

// Finds the next "&" and the next ";" after it. Found: Before is the text in
// front of the "&", Name the text between, Rest the text after the ";".
// Not found: Rest is the whole text.
bool ParseEntity(const std::string& Text, std::string& Before, std::string& Name, std::string& Rest);
// Replaces the nine known entities, drops unknown ones whole, keeps an "&"
// that starts no entity name, and turns every byte below 32 into a blank.
std::string DecodeEntities(std::string Text);
// Maps the UTF-8 right single quote and "&amp;#39;" to an apostrophe and removes CDATA markers.
std::string CleanFeedText(std::string Text);

extern const char* const kNotAvailable;      // "NA", every temperature of an unusable reply
extern const char* const kNewsNotAvailable;  // "*** Not Available Now ***"
extern const char* const kNewsSeparator;     // "  ***  "
constexpr int kConditionNotAvailable = 48;

// What one weather reply gives the weather gadget.
struct TWeatherReply {
  int TodayCode = kConditionNotAvailable;
  int TomorrowCode = kConditionNotAvailable;
  std::string TodayNow = "NA", TomorrowLow = "NA", TomorrowHi = "NA";
};
// Cuts the current condition and the second forecast element out of a reply.
// A reply without an XML declaration, a missing element or a missing attribute
// gives 48 or "NA". A code that is not a decimal number raises EConvertError.
TWeatherReply CutWeatherReply(std::string_view body);

// What one news reply gives the ticker and the news link.
struct TNewsReply {
  bool Usable = false;
  bool HasLink = false;
  std::string NameNews;  // the channel title, decoded once
  std::string Link;      // the channel link, cleaned, not decoded
  std::string RssLine;   // the separator-joined item titles, decoded twice
};
TNewsReply CutNewsReply(std::string_view body);

}  // namespace online
