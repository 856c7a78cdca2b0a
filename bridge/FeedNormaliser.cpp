#include "bridge/FeedNormaliser.h"

#include <iconv.h>
#include <libxml/HTMLparser.h>
#include <libxml/hash.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>

#include "bridge/AsciiText.h"
#include "bridge/XmlText.h"

namespace bridge {

namespace {

constexpr std::size_t kMaxFieldBytes = 16384;
constexpr int kMaxDepth = 48;

void NoMessage(void*, const char*, ...) {}
void NoError(void*, xmlErrorPtr) {}

// Also silences the encoding and I/O messages the parser options leave on;
// the handlers are the calling thread's own.
void InitialiseOnce() {
  static std::once_flag once;
  std::call_once(once, [] { xmlInitParser(); });
  xmlSetGenericErrorFunc(nullptr, NoMessage);
  xmlSetStructuredErrorFunc(nullptr, NoError);
}

void AppendUtf8(std::string& out, unsigned code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// Windows-1252's 0x80..0x9F; 0xFFFD where it defines nothing.
constexpr unsigned kWindows1252High[32] = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD,
    0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};

// The parser passes bytes through unconverted when it meets an encoding it
// cannot convert; what it passes is read as Windows-1252, so the reply stays UTF-8.
std::string RepairUtf8(std::string_view text) {
  if (IsValidUtf8(text)) return std::string(text);
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    std::size_t n = 1;
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c >= 0x80) {
      n = (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
      if (n == 0 || i + n > text.size() || !IsValidUtf8(text.substr(i, n))) {
        AppendUtf8(out, c < 0xA0 ? kWindows1252High[c - 0x80] : c);
        ++i;
        continue;
      }
    }
    out.append(text.substr(i, n));
    i += n;
  }
  return out;
}

// The encoding named in a leading XML declaration, if any.
std::string DeclaredEncoding(std::string_view body) {
  if (!body.starts_with("<?xml")) return {};
  const std::string_view decl = body.substr(0, std::min(body.find("?>"), std::size_t{512}));
  const std::size_t at = decl.find("encoding");
  if (at == std::string_view::npos) return {};
  std::size_t i = at + 8;
  while (i < decl.size() && std::isspace(static_cast<unsigned char>(decl[i]))) ++i;
  if (i >= decl.size() || decl[i] != '=') return {};
  ++i;
  while (i < decl.size() && std::isspace(static_cast<unsigned char>(decl[i]))) ++i;
  if (i >= decl.size() || (decl[i] != '"' && decl[i] != '\'')) return {};
  const std::size_t end = decl.find(decl[i], i + 1);
  if (end == std::string_view::npos) return {};
  return std::string(TrimAscii(decl.substr(i + 1, end - i - 1)));
}

struct Alias {
  std::string_view label;
  std::string_view encoding;
};

constexpr Alias kAliases[] = {
    {"utf-8", "UTF-8"},         {"utf8", "UTF-8"},
    {"iso-8859-1", "WINDOWS-1252"}, {"iso8859-1", "WINDOWS-1252"}, {"iso_8859-1", "WINDOWS-1252"},
    {"latin1", "WINDOWS-1252"}, {"latin-1", "WINDOWS-1252"},    {"l1", "WINDOWS-1252"},
    {"us-ascii", "WINDOWS-1252"}, {"ascii", "WINDOWS-1252"},    {"cp819", "WINDOWS-1252"},
    {"windows-1252", "WINDOWS-1252"}, {"cp1252", "WINDOWS-1252"}, {"x-cp1252", "WINDOWS-1252"},
    {"gb2312", "GB18030"},      {"gbk", "GB18030"},             {"x-gbk", "GB18030"},
    {"gb_2312-80", "GB18030"},  {"csgb2312", "GB18030"},        {"euc-cn", "GB18030"},
    {"cp936", "GB18030"},       {"gb18030", "GB18030"},
};

std::string CanonicalEncoding(std::string_view label) {
  const std::string lower = AsciiLower(TrimAscii(label));
  for (const Alias& a : kAliases)
    if (a.label == lower) return std::string(a.encoding);
  std::string upper(TrimAscii(label).substr(0, 40));
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return upper;
}

bool Wide(std::string_view body) {
  if (body.size() >= 2 && ((body[0] == '\xFF' && body[1] == '\xFE') || (body[0] == '\xFE' && body[1] == '\xFF')))
    return true;
  return body.size() >= 4 && std::memchr(body.data(), 0, 4) != nullptr;
}

struct DocFree {
  void operator()(xmlDoc* d) const { xmlFreeDoc(d); }
};
using Doc = std::unique_ptr<xmlDoc, DocFree>;

std::string_view Name(const xmlNode* n) { return reinterpret_cast<const char*>(n->name); }

constexpr std::string_view kFeedNamespaces[] = {
    "http://purl.org/rss/1.0/", "http://my.netscape.com/rdf/simple/0.9/", "http://www.w3.org/2005/Atom",
    "http://purl.org/atom/ns#", "http://backend.userland.com/rss2", "http://backend.userland.com/rss",
};

// A feed's own element: no namespace, the default one, or a feed namespace;
// never an extension such as dc:title or media:title.
bool Is(const xmlNode* n, std::string_view local) {
  if (!n || n->type != XML_ELEMENT_NODE || Name(n) != local) return false;
  if (!n->ns || !n->ns->prefix) return true;
  const std::string_view href = n->ns->href ? reinterpret_cast<const char*>(n->ns->href) : "";
  return std::find(std::begin(kFeedNamespaces), std::end(kFeedNamespaces), href) != std::end(kFeedNamespaces);
}

const xmlNode* Child(const xmlNode* parent, std::string_view local) {
  for (const xmlNode* c = parent ? parent->children : nullptr; c; c = c->next)
    if (Is(c, local)) return c;
  return nullptr;
}

std::string Attribute(const xmlNode* n, const char* name) {
  xmlChar* value = xmlGetProp(n, reinterpret_cast<const xmlChar*>(name));
  if (!value) return {};
  std::string out(reinterpret_cast<const char*>(value));
  xmlFree(value);
  return out;
}

// HTML's names that feeds use without declaring them; XML knows only five,
// and drops the others.
struct NamedEntity {
  std::string_view name;
  int codePoint;
};
constexpr NamedEntity kHtmlEntities[] = {
    {"nbsp", 160},   {"iexcl", 161},  {"cent", 162},   {"pound", 163},  {"euro", 8364},  {"yen", 165},
    {"copy", 169},   {"laquo", 171},  {"reg", 174},    {"deg", 176},    {"middot", 183}, {"raquo", 187},
    {"Agrave", 192}, {"Aacute", 193}, {"Auml", 196},   {"Ccedil", 199}, {"Eacute", 201}, {"Ouml", 214},
    {"Uuml", 220},   {"szlig", 223},  {"agrave", 224}, {"aacute", 225}, {"acirc", 226},  {"auml", 228},
    {"ccedil", 231}, {"egrave", 232}, {"eacute", 233}, {"ecirc", 234},  {"iacute", 237}, {"ntilde", 241},
    {"oacute", 243}, {"ouml", 246},   {"uacute", 250}, {"uuml", 252},   {"ndash", 8211}, {"mdash", 8212},
    {"lsquo", 8216}, {"rsquo", 8217}, {"sbquo", 8218}, {"ldquo", 8220}, {"rdquo", 8221}, {"bdquo", 8222},
    {"bull", 8226},  {"hellip", 8230}, {"trade", 8482},
};

// Undeclared HTML entity references become character references, which XML
// reads in any encoding. Only where the document declares no entities itself;
// nothing when there is none to change, so a large body is not copied.
std::optional<std::string> WithHtmlEntities(std::string_view body) {
  std::optional<std::string> out;
  if (body.find("<!DOCTYPE") != std::string_view::npos) return out;
  std::size_t copied = 0;  // bytes of body already in out
  for (std::size_t i = body.find('&'); i != std::string_view::npos; i = body.find('&', i + 1)) {
    const std::size_t semi = body.substr(i + 1, 8).find(';');
    if (semi == std::string_view::npos) continue;
    const std::string_view name = body.substr(i + 1, semi);
    const NamedEntity* found = nullptr;
    for (const NamedEntity& e : kHtmlEntities)
      if (e.name == name) found = &e;
    if (!found) continue;
    if (!out) out.emplace().reserve(body.size() + 64);
    out->append(body.substr(copied, i - copied));
    *out += "&#" + std::to_string(found->codePoint) + ";";
    i += semi + 1;
    copied = i + 1;
  }
  if (out) out->append(body.substr(copied));
  return out;
}

// Text of the element and its descendants, bounded; entity references are not
// expanded (a document's own entities could multiply).
void AppendText(const xmlNode* n, std::string& out, int depth) {
  if (depth > kMaxDepth) return;
  for (const xmlNode* c = n->children; c && out.size() < kMaxFieldBytes; c = c->next) {
    switch (c->type) {
      case XML_TEXT_NODE:
      case XML_CDATA_SECTION_NODE:
        if (c->content) out.append(reinterpret_cast<const char*>(c->content));
        break;
      case XML_ELEMENT_NODE:
        AppendText(c, out, depth + 1);
        break;
      default:
        break;
    }
  }
  if (out.size() > kMaxFieldBytes) out = CutUtf8(out, kMaxFieldBytes);
}

std::string Text(const xmlNode* n) {
  std::string out;
  if (n) AppendText(n, out, 0);
  return out;
}

bool LooksLikeHtml(std::string_view s) {
  for (std::size_t i = 0; i + 1 < s.size(); ++i) {
    if (s[i] == '<' && (std::isalpha(static_cast<unsigned char>(s[i + 1])) || s[i + 1] == '/' || s[i + 1] == '!') &&
        s.find('>', i) != std::string_view::npos)
      return true;
    if (s[i] == '&') {
      std::size_t j = i + 1;
      if (s[j] == '#') {
        ++j;
        if (j < s.size() && (s[j] == 'x' || s[j] == 'X')) ++j;
        const std::size_t digits = j;
        while (j < s.size() && std::isxdigit(static_cast<unsigned char>(s[j]))) ++j;
        if (j > digits && j < s.size() && s[j] == ';') return true;
      } else {
        const std::size_t letters = j;
        while (j < s.size() && j - letters < 10 && std::isalnum(static_cast<unsigned char>(s[j]))) ++j;
        if (j > letters && j < s.size() && s[j] == ';' && std::isalpha(static_cast<unsigned char>(s[letters])))
          return true;
      }
    }
  }
  return false;
}

// Titles of RSS may hold escaped markup; those of Atom say whether they do.
std::string TitleText(const xmlNode* n, bool atom) {
  if (!n) return {};
  std::string raw = Text(n);
  const std::string type = atom ? AsciiLower(Attribute(n, "type")) : std::string();
  const bool html = atom ? (type == "html" || type == "text/html") : LooksLikeHtml(raw);
  return CutUtf8(CollapseWhitespace(RepairUtf8(html ? HtmlToText(raw) : raw)), FeedNormaliser::kMaxTitleBytes);
}

// A link is kept only when it looks like an address: the saver cuts the reply
// by markers, so no markup character may reach it, inside CDATA or not.
std::string PlainLink(std::string_view text) {
  text = TrimAscii(text);
  if (text.size() > 2048) return {};
  for (char c : text)
    if (static_cast<unsigned char>(c) <= 0x20 || c == '<' || c == '>' || c == '"' || c == 0x7F) return {};
  return IsValidUtf8(text) ? std::string(text) : std::string();
}

std::string AtomLink(const xmlNode* parent) {
  std::string any;
  for (const xmlNode* c = parent->children; c; c = c->next) {
    if (!Is(c, "link")) continue;
    const std::string rel = Attribute(c, "rel");
    const std::string href = PlainLink(Attribute(c, "href"));
    if (href.empty() || (!rel.empty() && rel != "alternate")) continue;
    const std::string type = AsciiLower(Attribute(c, "type"));
    if (type.empty() || type == "text/html") return href;
    if (any.empty()) any = href;
  }
  return any;
}

std::string RssLink(const xmlNode* parent) {
  if (const xmlNode* link = Child(parent, "link")) {
    std::string text = PlainLink(Text(link));
    if (!text.empty()) return text;
  }
  if (const xmlNode* guid = Child(parent, "guid"); guid && AsciiLower(Attribute(guid, "isPermaLink")) != "false") {
    std::string text = PlainLink(Text(guid));
    if (text.starts_with("http://") || text.starts_with("https://")) return text;
  }
  return {};
}

void ReadRssItems(const xmlNode* parent, FeedContent& feed) {
  for (const xmlNode* c = parent ? parent->children : nullptr; c && feed.entries.size() < FeedNormaliser::kMaxEntries;
       c = c->next) {
    if (!Is(c, "item")) continue;
    FeedEntry e;
    e.title = TitleText(Child(c, "title"), false);
    if (e.title.empty())  // items may carry only a description
      e.title = CutUtf8(CollapseWhitespace(RepairUtf8(HtmlToText(Text(Child(c, "description"))))), 160);
    if (e.title.empty()) continue;
    e.link = RssLink(c);
    feed.entries.push_back(std::move(e));
  }
}

std::optional<FeedContent> ReadDocument(const xmlNode* root) {
  FeedContent feed;
  if (Is(root, "rss")) {
    const xmlNode* channel = Child(root, "channel");
    if (!channel) return std::nullopt;
    feed.title = TitleText(Child(channel, "title"), false);
    feed.link = RssLink(channel);
    ReadRssItems(channel, feed);
    if (feed.entries.empty()) ReadRssItems(root, feed);  // items misplaced beside the channel
  } else if (Name(root) == "RDF") {
    const xmlNode* channel = Child(root, "channel");
    if (!channel) return std::nullopt;
    feed.title = TitleText(Child(channel, "title"), false);
    feed.link = RssLink(channel);
    ReadRssItems(root, feed);
    if (feed.entries.empty()) ReadRssItems(channel, feed);
  } else if (Is(root, "feed")) {
    feed.title = TitleText(Child(root, "title"), true);
    feed.link = AtomLink(root);
    for (const xmlNode* c = root->children; c && feed.entries.size() < FeedNormaliser::kMaxEntries; c = c->next) {
      if (!Is(c, "entry")) continue;
      FeedEntry e;
      e.title = TitleText(Child(c, "title"), true);
      if (e.title.empty()) continue;
      e.link = AtomLink(c);
      feed.entries.push_back(std::move(e));
    }
  } else {
    return std::nullopt;
  }
  return feed;
}

// Counts the nodes the tree builder is about to make and stops the parser
// once kMaxNodes are spent; later events are dropped. Entity contents are
// parsed with contexts of their own, so the budget belongs to the thread.
struct NodeBudget {
  xmlParserCtxtPtr document = nullptr;
  xmlSAXHandler inner{};
  long left = FeedNormaliser::kMaxNodes;
  bool spent = false;
};
thread_local NodeBudget* tBudget = nullptr;

bool Spend(void* ctx, long nodes) {
  NodeBudget& b = *tBudget;
  if (!b.spent && (b.left -= nodes) >= 0) return true;
  if (!b.spent) {
    b.spent = true;
    xmlStopParser(static_cast<xmlParserCtxtPtr>(ctx));
    xmlStopParser(b.document);
  }
  return false;
}

void StartElement(void* ctx, const xmlChar* localname, const xmlChar* prefix, const xmlChar* uri, int nbNamespaces,
                  const xmlChar** namespaces, int nbAttributes, int nbDefaulted, const xmlChar** attributes) {
  // An attribute is a node and its value another.
  if (Spend(ctx, 1 + nbNamespaces + 2L * nbAttributes))
    tBudget->inner.startElementNs(ctx, localname, prefix, uri, nbNamespaces, namespaces, nbAttributes, nbDefaulted,
                                  attributes);
}
void EndElement(void* ctx, const xmlChar* localname, const xmlChar* prefix, const xmlChar* uri) {
  if (!tBudget->spent) tBudget->inner.endElementNs(ctx, localname, prefix, uri);
}
void Characters(void* ctx, const xmlChar* text, int length) {
  if (Spend(ctx, 1)) tBudget->inner.characters(ctx, text, length);
}
void Blanks(void* ctx, const xmlChar* text, int length) {
  if (Spend(ctx, 1)) tBudget->inner.ignorableWhitespace(ctx, text, length);
}
void CData(void* ctx, const xmlChar* text, int length) {
  if (Spend(ctx, 1)) tBudget->inner.cdataBlock(ctx, text, length);
}
void Reference(void* ctx, const xmlChar* name) {
  if (Spend(ctx, 1)) tBudget->inner.reference(ctx, name);
}
void Comment(void* ctx, const xmlChar* text) {
  if (Spend(ctx, 1)) tBudget->inner.comment(ctx, text);
}
void Instruction(void* ctx, const xmlChar* target, const xmlChar* data) {
  if (Spend(ctx, 1)) tBudget->inner.processingInstruction(ctx, target, data);
}
void EntityDeclaration(void* ctx, const xmlChar* name, int type, const xmlChar* publicId, const xmlChar* systemId,
                       xmlChar* content) {
  if (Spend(ctx, 1)) tBudget->inner.entityDecl(ctx, name, type, publicId, systemId, content);
}
void AttributeDeclaration(void* ctx, const xmlChar* element, const xmlChar* name, int type, int def,
                          const xmlChar* defaultValue, xmlEnumerationPtr tree) {
  if (Spend(ctx, 1)) tBudget->inner.attributeDecl(ctx, element, name, type, def, defaultValue, tree);
  else xmlFreeEnumeration(tree);  // the handler would have taken it
}
void ElementDeclaration(void* ctx, const xmlChar* name, int type, xmlElementContentPtr content) {
  if (Spend(ctx, 1)) tBudget->inner.elementDecl(ctx, name, type, content);
}
// The internal subset is complete. Its attribute defaults would be added to
// every matching element after comparing each with all the element's
// attributes: thousands of them make every such element cost seconds, and
// feeds have no use for them.
void ExternalSubset(void* ctx, const xmlChar* name, const xmlChar* externalId, const xmlChar* systemId) {
  if (tBudget->spent) return;
  tBudget->inner.externalSubset(ctx, name, externalId, systemId);
  auto* ctxt = static_cast<xmlParserCtxtPtr>(ctx);
  if (ctxt->attsDefault) {
    xmlHashFree(ctxt->attsDefault, xmlHashDefaultDeallocator);
    ctxt->attsDefault = nullptr;
  }
}

struct ContextFree {
  void operator()(xmlParserCtxt* c) const { xmlFreeParserCtxt(c); }
};

// cut: whether the node budget ended the parse early.
Doc Parse(std::string_view body, const std::string& encoding, bool& cut) {
  int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_RECOVER | XML_PARSE_NOCDATA;
  if (!encoding.empty()) options |= XML_PARSE_IGNORE_ENC;
  std::unique_ptr<xmlParserCtxt, ContextFree> ctxt(xmlNewParserCtxt());
  if (!ctxt || !ctxt->sax) return nullptr;
  NodeBudget budget;
  budget.document = ctxt.get();
  budget.inner = *ctxt->sax;
  xmlSAXHandler& sax = *ctxt->sax;
  auto wrap = [](auto& handler, auto counting) {
    if (handler) handler = counting;
  };
  wrap(sax.startElementNs, StartElement);
  wrap(sax.endElementNs, EndElement);
  wrap(sax.characters, Characters);
  wrap(sax.ignorableWhitespace, Blanks);
  wrap(sax.cdataBlock, CData);
  wrap(sax.reference, Reference);
  wrap(sax.comment, Comment);
  wrap(sax.processingInstruction, Instruction);
  wrap(sax.entityDecl, EntityDeclaration);
  wrap(sax.attributeDecl, AttributeDeclaration);
  wrap(sax.elementDecl, ElementDeclaration);
  wrap(sax.externalSubset, ExternalSubset);
  tBudget = &budget;
  Doc doc(xmlCtxtReadMemory(ctxt.get(), body.data(), static_cast<int>(body.size()), nullptr,
                            encoding.empty() ? nullptr : encoding.c_str(), options));
  tBudget = nullptr;
  cut = budget.spent;
  return doc;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// Where a construct without attributes that starts at i ends (comment, CDATA
// section, processing instruction), or npos when none starts there.
std::size_t PastOpaque(std::string_view text, std::size_t i) {
  struct Span {
    std::string_view open, close;
  };
  static constexpr Span kSpans[] = {{"<!--", "-->"}, {"<![CDATA[", "]]>"}, {"<?", "?>"}};
  for (const Span& s : kSpans)
    if (text.compare(i, s.open.size(), s.open) == 0) {
      const std::size_t end = text.find(s.close, i + s.open.size());
      return end == std::string_view::npos ? text.size() : end + s.close.size();
    }
  return std::string_view::npos;
}

// Encodings in which the bytes of < = > " ' and the blanks only ever stand
// for those characters, so the markup can be checked on the raw bytes.
bool KeepsAsciiMarkup(const std::string& encoding) {
  return encoding == "UTF-8" || encoding == "GB18030" || encoding.starts_with("WINDOWS-125") ||
         encoding.starts_with("ISO-8859-");
}

// The encoding libxml2 detects in a wide body, by its byte order mark or the
// zero bytes around its first character.
const char* WideEncoding(std::string_view b) {
  auto at = [&b](std::size_t i) { return i < b.size() ? static_cast<unsigned char>(b[i]) : 0xFFu; };
  if (at(0) == 0xFF && at(1) == 0xFE) return at(2) == 0 && at(3) == 0 ? "UTF-32LE" : "UTF-16LE";
  if (at(0) == 0 && at(1) == 0) return "UTF-32BE";
  if (at(0) == 0xFE && at(1) == 0xFF) return "UTF-16BE";
  if (at(2) == 0 && at(3) == 0) return "UTF-32LE";
  return at(0) == 0 ? "UTF-16BE" : "UTF-16LE";
}

// The body as UTF-8, for checking its markup only: bytes the encoding does
// not know are skipped (the parser stops at them). Empty when iconv does not
// know the encoding, which libxml2 then cannot read either.
std::string DecodedForCheck(std::string_view body, const char* encoding) {
  iconv_t cd = iconv_open("UTF-8", encoding);
  if (cd == reinterpret_cast<iconv_t>(-1)) return {};
  std::string out(body.size() * 2 + 16, '\0');
  char* in = const_cast<char*>(body.data());
  std::size_t inLeft = body.size(), done = 0;
  while (inLeft > 0) {
    char* to = out.data() + done;
    std::size_t outLeft = out.size() - done;
    const std::size_t r = iconv(cd, &in, &inLeft, &to, &outLeft);
    done = out.size() - outLeft;
    if (r != static_cast<std::size_t>(-1)) break;
    if (errno == E2BIG) {
      out.resize(out.size() * 2);
    } else if (errno == EILSEQ) {
      ++in;
      --inLeft;
    } else {
      break;  // a sequence cut short at the end
    }
  }
  iconv_close(cd);
  out.resize(done);
  return out;
}

// Ampersands in item titles are written twice escaped: the ticker decodes its
// whole line twice, and a lone ampersand after the first pass would swallow
// the text up to the next semicolon.
std::string EscapeForTicker(std::string_view text) {
  std::string once = EscapeXml(text), out;
  out.reserve(once.size());
  for (std::size_t i = 0; i < once.size(); ++i) {
    if (once.compare(i, 5, "&amp;") == 0) {
      out += "&amp;amp;";
      i += 4;
    } else {
      out += once[i];
    }
  }
  return out;
}

// The saver keeps the link as written (its CDATA markers are removed, entities
// are not decoded), so a link with an ampersand goes into a CDATA section.
std::string LinkElement(std::string_view link) {
  if (link.find('&') == std::string_view::npos) return "<link>" + std::string(link) + "</link>";
  return "<link><![CDATA[" + std::string(link) + "]]></link>";
}

}  // namespace

bool IsValidUtf8(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size()) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    std::size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (n == 0 || i + n > s.size() || (n == 2 && c < 0xC2) || (n == 4 && c > 0xF4)) return false;
    for (std::size_t k = 1; k < n; ++k)
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    if (n == 3) {
      const unsigned char d = static_cast<unsigned char>(s[i + 1]);
      if ((c == 0xE0 && d < 0xA0) || (c == 0xED && d >= 0xA0)) return false;
    }
    if (n == 4) {
      const unsigned char d = static_cast<unsigned char>(s[i + 1]);
      if ((c == 0xF0 && d < 0x90) || (c == 0xF4 && d >= 0x90)) return false;
    }
    i += n;
  }
  return true;
}

std::string CutUtf8(std::string_view text, std::size_t maxBytes) {
  if (text.size() <= maxBytes) return std::string(text);
  std::size_t end = maxBytes;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return std::string(TrimAscii(text.substr(0, end)));
}

std::string CollapseWhitespace(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  bool blank = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    bool space = c <= 0x20 || c == 0x7F;
    if (c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0xA0) {
      space = true;
      ++i;
    }
    if (space) {
      blank = !out.empty();
      continue;
    }
    if (blank) out += ' ';
    blank = false;
    out += static_cast<char>(c);
  }
  return out;
}

namespace {

void AppendHtmlText(const xmlNode* n, std::string& out, int depth) {
  if (depth > kMaxDepth) return;
  for (const xmlNode* c = n->children; c && out.size() < kMaxFieldBytes; c = c->next) {
    if (c->type == XML_TEXT_NODE || c->type == XML_CDATA_SECTION_NODE) {
      if (c->content) out.append(reinterpret_cast<const char*>(c->content));
    } else if (c->type == XML_ELEMENT_NODE) {
      const std::string name = AsciiLower(Name(c));
      if (name == "script" || name == "style") continue;
      if (name == "br" || name == "p" || name == "div" || name == "li") out += ' ';
      AppendHtmlText(c, out, depth + 1);
    }
  }
}

}  // namespace

bool HasCrowdedTag(std::string_view markup, bool html) {
  for (std::size_t i = markup.find('<'); i != std::string_view::npos;) {
    if (!html) {
      if (const std::size_t end = PastOpaque(markup, i); end != std::string_view::npos) {
        i = markup.find('<', end);
        continue;
      }
    }
    std::size_t count = 0, j = i + 1;
    char quote = 0;
    bool blank = false;
    for (; j < markup.size() && markup[j] != '<'; ++j) {
      const char c = markup[j];
      if (!quote && c == '>') break;
      const bool isBlank = IsBlank(c);
      if ((c == '=' || (html && isBlank && !blank)) && ++count > FeedNormaliser::kMaxAttributes) return true;
      blank = isBlank;
      if (quote) {
        if (c == quote) quote = 0;
      } else if (c == '"' || c == '\'') {
        quote = c;
      }
    }
    i = markup.find('<', j);
  }
  return false;
}

std::string HtmlToText(std::string_view html) {
  InitialiseOnce();
  if (html.empty()) return {};
  const std::string_view fragment = html.substr(0, kMaxFieldBytes);
  if (HasCrowdedTag(fragment, true)) return {};
  const std::string wrapped = "<html><body><div>" + std::string(fragment) + "</div></body></html>";
  Doc doc(htmlReadMemory(wrapped.data(), static_cast<int>(wrapped.size()), nullptr, "UTF-8",
                         HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET));
  if (!doc) return std::string(html);
  std::string out;
  if (const xmlNode* root = xmlDocGetRootElement(doc.get())) AppendHtmlText(root, out, 0);
  return out;
}

std::string FeedEncoding(std::string_view body, std::string_view httpCharset) {
  if (body.starts_with("\xEF\xBB\xBF")) return "UTF-8";
  if (Wide(body)) return {};
  std::string label = DeclaredEncoding(body);
  if (label.empty()) label = std::string(httpCharset);
  std::string encoding = label.empty() ? "UTF-8" : CanonicalEncoding(label);
  if (encoding == "UTF-8" && !IsValidUtf8(body)) encoding = "WINDOWS-1252";
  return encoding;
}

std::optional<FeedContent> FeedNormaliser::Read(std::string_view body, std::string_view httpCharset) {
  InitialiseOnce();
  if (body.empty() || body.size() > kMaxBodyBytes) return std::nullopt;
  const std::string encoding = FeedEncoding(body, httpCharset);
  if (body.starts_with("\xEF\xBB\xBF")) body.remove_prefix(3);
  const std::optional<std::string> withEntities = encoding.empty() ? std::nullopt : WithHtmlEntities(body);
  if (withEntities) body = *withEntities;
  // The raw bytes for the Latin-1 reading below, the decoded text for any
  // encoding that may hide markup in other bytes.
  if (HasCrowdedTag(body, false)) return std::nullopt;
  if (!KeepsAsciiMarkup(encoding) &&
      HasCrowdedTag(DecodedForCheck(body, encoding.empty() ? WideEncoding(body) : encoding.c_str()), false))
    return std::nullopt;
  bool cut = false;
  Doc doc = Parse(body, encoding, cut);
  // An encoding iconv does not know or bytes it cannot convert: Latin-1 reads any byte.
  if (!doc && !cut && !encoding.empty()) doc = Parse(body, "ISO-8859-1", cut);
  if (!doc) return std::nullopt;
  const xmlNode* root = xmlDocGetRootElement(doc.get());
  if (!root) return std::nullopt;
  return ReadDocument(root);
}

std::string FeedNormaliser::WriteForSaver(const FeedContent& feed, std::string_view fallbackTitle) {
  std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rss version=\"2.0\">\n<channel>\n";
  const std::string& title = feed.title.empty() ? std::string(fallbackTitle) : feed.title;
  out += "<title>" + EscapeXml(title) + "</title>\n";
  out += LinkElement(feed.link) + "\n";
  out += "<description>" + EscapeXml(title) + "</description>\n";
  for (const FeedEntry& e : feed.entries) {
    out += "<item>\n<title>" + EscapeForTicker(e.title) + "</title>\n";
    if (!e.link.empty()) out += LinkElement(e.link) + "\n";
    out += "</item>\n";
  }
  out += "</channel>\n</rss>\n";
  return out;
}

std::optional<std::string> FeedNormaliser::Normalise(std::string_view body, std::string_view httpCharset,
                                                     std::string_view fallbackTitle) {
  std::optional<FeedContent> feed = Read(body, httpCharset);
  if (!feed) return std::nullopt;
  return WriteForSaver(*feed, fallbackTitle);
}

}  // namespace bridge
