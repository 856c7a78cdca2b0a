#include "online/HttpReplyReader.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "online/TSocketBase.h"

namespace online {

namespace {

std::string WithoutLineEnd(std::string s) {
  while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
  return s;
}

std::vector<std::string> BlankWords(const std::string& line) {
  std::vector<std::string> words;
  std::string s = WithoutLineEnd(line);
  size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && s[i] == ' ') ++i;
    size_t start = i;
    while (i < s.size() && s[i] != ' ') ++i;
    if (i > start) words.push_back(s.substr(start, i - start));
  }
  return words;
}

// Decimal digits only, bounded; -1 for anything else.
long long ParseCount(const std::string& word, int maxDigits) {
  if (word.empty() || static_cast<int>(word.size()) > maxDigits) return -1;
  long long v = 0;
  for (char c : word) {
    if (c < '0' || c > '9') return -1;
    v = v * 10 + (c - '0');
  }
  return v;
}

std::string ValueFrom(const std::string& line, size_t offset) {
  if (line.size() <= offset) return "";
  return WithoutLineEnd(line.substr(offset)).substr(0, HttpReplyReader::kMaxHeaderValue);
}

}  // namespace

HttpReplyReader::HttpReplyReader(ByteSource& source) : FSource(source), FBlock(kBlockSize) {}

bool HttpReplyReader::Fill() {
  if (FAtEnd) return false;
  FStart = 0;
  FEnd = FSource.Read(FBlock.data(), FBlock.size());
  if (FEnd == 0) FAtEnd = true;
  return FEnd > 0;
}

std::string HttpReplyReader::ReadLine() {
  FSource.Begin(ByteSource::Phase::HeaderLine);
  std::string line;
  for (;;) {
    const char* begin = FBlock.data() + FStart;
    const char* lf = static_cast<const char*>(std::memchr(begin, '\n', FEnd - FStart));
    size_t take = lf ? static_cast<size_t>(lf - begin) + 1 : FEnd - FStart;
    if (line.size() + take > kMaxLineLength) throw ESockError("Reply header line too long");
    line.append(begin, take);
    FStart += take;
    if (lf) return line;
    if (!Fill()) return line;
  }
}

int HttpReplyReader::ParseStatus(const std::string& line) {
  auto words = BlankWords(line);
  if (words.size() < 2) return 0;
  long long v = ParseCount(words[1], 9);
  return v < 0 ? 0 : static_cast<int>(v);
}

HttpReplyInfo HttpReplyReader::ReadHeader(std::string& header) {
  HttpReplyInfo info;
  std::string line = ReadLine();
  header += line;
  info.Status = ParseStatus(line);
  for (size_t count = 0;; ++count) {
    line = ReadLine();
    header += line;
    if (line.empty() || line == "\r\n" || line == "\n") break;
    if (count == kMaxHeaderLines) throw ESockError("Too many reply header lines");
    auto words = BlankWords(line);
    if (words.empty()) continue;
    std::string key = words[0];
    std::transform(key.begin(), key.end(), key.begin(), [](unsigned char c) { return std::toupper(c); });
    if (key == "SET-COOKIE:") {
      info.HasSetCookie = true;
      info.SetCookie = ValueFrom(line, 12);
    } else if (key == "LOCATION:") {
      info.HasLocation = true;
      info.Location = ValueFrom(line, 10);
    } else if (key == "CONTENT-LENGTH:") {
      info.ContentLength = words.size() > 1 ? ParseCount(words[1], 18) : -1;
    }
  }
  return info;
}

void HttpReplyReader::ReadBody(std::string& body, long long stopAt) {
  body.clear();
  if (stopAt >= 0 && static_cast<unsigned long long>(stopAt) <= kMaxBodyBytes) body.reserve(static_cast<size_t>(stopAt));
  FSource.Begin(ByteSource::Phase::Body);
  auto limit = stopAt >= 0 ? static_cast<unsigned long long>(stopAt) : ~0ull;
  for (;;) {
    size_t n = FEnd - FStart;
    if (n > 0) {
      size_t keep = static_cast<size_t>(std::min<unsigned long long>(n, limit - body.size()));
      if (body.size() + keep > kMaxBodyBytes) throw ESockError("Reply body too large");
      body.append(FBlock.data() + FStart, keep);
      FStart = FEnd;
      if (body.size() >= limit) return;
    }
    if (!Fill()) return;
    // Inactivity, not the whole transfer, is timed: restart after every block.
    FSource.Begin(ByteSource::Phase::Body);
  }
}

}  // namespace online
