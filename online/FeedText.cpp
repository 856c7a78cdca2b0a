#include "online/FeedText.h"

#include <array>
#include <optional>
#include <utility>

#include "framework/TApplication.h"

namespace online {

const char* const kNotAvailable = "NA";
const char* const kNewsNotAvailable = "*** Not Available Now ***";
const char* const kNewsSeparator = "  ***  ";

namespace {

constexpr std::string_view kStartMarker = "BEGIN";

struct Entity {
  std::string_view name, replacement;
};
constexpr std::array<Entity, 9> kEntities{{
    {"quot", "\""}, {"amp", "&"}, {"#039", "'"}, {"apos", "'"}, {"lt", "<"},
    {"gt", ">"}, {"#36", "$"}, {"#39", "'"}, {"#038", "&"},
}};

bool CutEntity(std::string_view text, std::string_view& before, std::string_view& name, std::string_view& rest) {
  const size_t amp = text.find('&');
  if (amp == std::string_view::npos) return false;
  const size_t semicolon = text.find(';', amp + 1);
  if (semicolon == std::string_view::npos) return false;
  before = text.substr(0, amp);
  name = text.substr(amp + 1, semicolon - amp - 1);
  rest = text.substr(semicolon + 1);
  return true;
}

// Entity names are letters, digits and "#". Anything else between an "&" and
// a ";" is text (a headline with a plain ampersand and a later semicolon).
bool IsEntityName(std::string_view name) {
  if (name.empty()) return false;
  for (char c : name)
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '#')) return false;
  return true;
}

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
  std::string out;
  out.reserve(text.size());
  for (size_t at = 0;;) {
    const size_t hit = text.find(from, at);
    if (hit == std::string_view::npos) {
      out.append(text.substr(at));
      return out;
    }
    out.append(text.substr(at, hit - at)).append(to);
    at = hit + from.size();
  }
}

// The value of name="..." in an element's attribute text, if it is there.
std::optional<std::string_view> Attribute(std::string_view element, std::string_view begin) {
  std::string_view value, rest;
  if (!CutBetween(element, begin, "\"", value, rest)) return std::nullopt;
  return value;
}

std::string TextOr(std::optional<std::string_view> value) {
  return value ? std::string(*value) : std::string(kNotAvailable);
}

int CodeOr(std::optional<std::string_view> value) {
  return value ? framework::StrToInt(std::string(*value)) : kConditionNotAvailable;
}

// The first word of an XML declaration, "xml" in a feed.
bool StartsAsXml(std::string_view body) {
  std::string_view word, rest;
  return CutBetween(body, "<?", " ", word, rest) && word == "xml";
}

}  // namespace

bool CutBetween(std::string_view text, std::string_view begin, std::string_view end, std::string_view& segment,
                std::string_view& rest) {
  size_t start = 0;
  if (begin != kStartMarker) {
    const size_t at = text.find(begin);
    if (at == std::string_view::npos) return false;
    start = at + begin.size();
  }
  const size_t stop = text.find(end, start);
  if (stop == std::string_view::npos) return false;
  segment = text.substr(start, stop - start);
  rest = text.substr(stop + end.size());
  return true;
}

std::string ParseBetween(std::string Text, std::string Begin, std::string End, std::string& Segment) {
  std::string_view segment, rest;
  if (!CutBetween(Text, Begin, End, segment, rest)) return "FIN";
  std::string result(rest);
  Segment.assign(segment);
  return result;
}

bool ParseEntity(const std::string& Text, std::string& Before, std::string& Name, std::string& Rest) {
  std::string_view before, name, rest;
  if (!CutEntity(Text, before, name, rest)) {
    Rest = Text;
    return false;
  }
  // Copies first: an output may be Text itself.
  std::string b(before), n(name), r(rest);
  Before = std::move(b);
  Name = std::move(n);
  Rest = std::move(r);
  return true;
}

std::string DecodeEntities(std::string Text) {
  std::string out;
  out.reserve(Text.size());
  std::string_view rest = Text, before, name;
  for (std::string_view after; CutEntity(rest, before, name, after);) {
    out.append(before);
    if (!IsEntityName(name)) {
      // Keep the ampersand; a real entity may still follow it.
      out.push_back('&');
      rest = rest.substr(before.size() + 1);
      continue;
    }
    rest = after;
    for (const Entity& e : kEntities)
      if (e.name == name) {
        out.append(e.replacement);
        break;
      }
  }
  out.append(rest);
  for (char& c : out)
    if (static_cast<unsigned char>(c) < 32) c = ' ';
  return out;
}

std::string CleanFeedText(std::string Text) {
  std::string s = ReplaceAll(Text, "\xE2\x80\x99", "'");
  s = ReplaceAll(s, "&amp;#39;", "'");
  s = ReplaceAll(s, "<![CDATA[", "");
  return ReplaceAll(s, "]]>", "");
}

TWeatherReply CutWeatherReply(std::string_view body) {
  TWeatherReply reply;
  if (!StartsAsXml(body)) return reply;

  // A missing element leaves nothing to cut further (the rest is "FIN").
  std::string_view rest = body;
  auto element = [&rest](std::string_view name) {
    std::string_view attributes;
    if (!CutBetween(rest, name, "/>", attributes, rest)) {
      rest = {};
      attributes = {};
    }
    return attributes;
  };

  const std::string_view condition = element("<yweather:condition");
  element("<yweather:forecast");  // today's forecast, not shown
  const std::string_view tomorrow = element("<yweather:forecast");

  // Every value is converted before anything is stored: a code that is no
  // number leaves the gadget as it was.
  reply.TodayCode = CodeOr(Attribute(condition, "code=\""));
  reply.TodayNow = TextOr(Attribute(condition, "temp=\""));
  reply.TomorrowCode = CodeOr(Attribute(tomorrow, "code=\""));
  reply.TomorrowLow = TextOr(Attribute(tomorrow, "low=\""));
  reply.TomorrowHi = TextOr(Attribute(tomorrow, "high=\""));
  return reply;
}

TNewsReply CutNewsReply(std::string_view body) {
  TNewsReply reply;
  std::string_view rootTag, rest;
  reply.Usable = StartsAsXml(body) || (CutBetween(body, "<", " ", rootTag, rest) && rootTag == "rss");
  if (!reply.Usable) {
    reply.RssLine = kNewsNotAvailable;
    return reply;
  }

  // A channel without a title or a link still has its items read.
  std::string_view text = body, title, link;
  if (CutBetween(text, "<title>", "</title>", title, rest)) text = rest;
  if (CutBetween(text, "<link>", "</link>", link, rest)) {
    text = rest;
    reply.HasLink = true;
    reply.Link = CleanFeedText(std::string(link));
  }
  reply.NameNews = DecodeEntities(CleanFeedText(std::string(title)));

  std::string line = kNewsSeparator;
  std::string_view item, itemTitle, itemRest;
  while (CutBetween(text, "<item>", "</item>", item, text)) {
    // An item without a title adds nothing, not even a separator.
    if (!CutBetween(item, "<title>", "</title>", itemTitle, itemRest)) continue;
    line.append(itemTitle).append(kNewsSeparator);
  }
  // Twice, so doubly escaped entities end as plain characters too.
  reply.RssLine = DecodeEntities(DecodeEntities(CleanFeedText(std::move(line))));
  return reply;
}

}  // namespace online
