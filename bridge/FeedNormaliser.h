// Reads a news feed of any common kind (RSS 2.0 and 0.9x, RSS 1.0 and 0.90 as
// RDF, Atom) in any encoding libxml2 and iconv know, and writes it again as
// the plain RSS 2.0 that the saver's fixed cuts read: an XML declaration, the
// channel's title and link, then one exact <item> with a <title> per entry,
// all UTF-8 text.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace bridge {

struct FeedEntry {
  std::string title;
  std::string link;
};

struct FeedContent {
  std::string title;
  std::string link;
  std::vector<FeedEntry> entries;
};

class FeedNormaliser {
 public:
  static constexpr std::size_t kMaxEntries = 100;
  static constexpr std::size_t kMaxTitleBytes = 300;
  static constexpr std::size_t kMaxBodyBytes = 16u << 20;
  // Tree nodes one document may make (elements, attributes, text, references,
  // declarations): far more than a hundred rich entries need. Past it the
  // parse stops and what was read so far is used, so a body of densely packed
  // empty elements costs a few megabytes, not a hundred.
  static constexpr long kMaxNodes = 50000;
  // Attributes one tag may carry. libxml2 compares each new attribute with
  // every one before it, so a tag of thousands costs seconds of processor
  // time; such a document is not read as a feed.
  static constexpr std::size_t kMaxAttributes = 256;

  // httpCharset: the charset parameter of the reply's Content-Type, if any.
  // Nothing when the body is not a feed: such a reply is passed on unchanged.
  static std::optional<FeedContent> Read(std::string_view body, std::string_view httpCharset = {});
  // fallbackTitle stands in for a missing channel title, which the saver
  // would otherwise take from the first item.
  static std::string WriteForSaver(const FeedContent& feed, std::string_view fallbackTitle);
  static std::optional<std::string> Normalise(std::string_view body, std::string_view httpCharset,
                                              std::string_view fallbackTitle);
};

// The encoding the body is read in: the XML declaration's, else the HTTP
// charset, else UTF-8; labels of ISO-8859-1 and ASCII are read as Windows-1252
// and GB2312 as its superset GB18030, as browsers do, and a body declared (or
// taken) as UTF-8 that is not valid UTF-8 is read as Windows-1252. Empty when
// libxml2 should detect it itself (UTF-16 and UTF-32).
std::string FeedEncoding(std::string_view body, std::string_view httpCharset);

// Plain text of an HTML fragment: tags dropped, entities decoded. Empty for
// a fragment with a tag of more than kMaxAttributes attributes.
std::string HtmlToText(std::string_view html);
// Whether some tag of the markup may carry more than kMaxAttributes
// attributes, or its DTD declares more than four times as many defaults.
// Counts generously: every '=' from a '<' to the '>' that ends the tag outside
// quotes, or to the next '<', where the parser ends the tag's attributes too;
// in HTML, where values are optional, every run of blanks as well.
bool HasCrowdedTag(std::string_view markup, bool html);
// Runs of white space (and no-break spaces, and control bytes) become one
// blank; none at either end.
std::string CollapseWhitespace(std::string_view text);
// Cuts at most maxBytes, never inside a UTF-8 sequence.
std::string CutUtf8(std::string_view text, std::size_t maxBytes);
bool IsValidUtf8(std::string_view text);

}  // namespace bridge
