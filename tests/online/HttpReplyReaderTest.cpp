#include "online/HttpReplyReader.h"

#include <gtest/gtest.h>

#include "online/TSocketBase.h"

using online::HttpReplyInfo;
using online::HttpReplyReader;
using online::MemorySource;

namespace {

struct Parsed {
  HttpReplyInfo info;
  std::string header, body;
};

Parsed ParseAll(const std::string& reply, size_t blockSize = 65536, long long stopAt = -2) {
  MemorySource source(reply, blockSize);
  HttpReplyReader reader(source);
  Parsed p;
  p.info = reader.ReadHeader(p.header);
  reader.ReadBody(p.body, stopAt == -2 ? p.info.ContentLength : stopAt);
  return p;
}

}  // namespace

TEST(HttpReplyReader, StatusIsTheSecondBlankSeparatedWordOrZero) {
  EXPECT_EQ(HttpReplyReader::ParseStatus("HTTP/1.0 404 Not Found\r\n"), 404);
  EXPECT_EQ(HttpReplyReader::ParseStatus("HTTP/1.1  301\n"), 301);
  EXPECT_EQ(HttpReplyReader::ParseStatus("HTTP/1.0 2x0 OK\r\n"), 0);
  EXPECT_EQ(HttpReplyReader::ParseStatus("HTTP/1.0\r\n"), 0);
  EXPECT_EQ(HttpReplyReader::ParseStatus(""), 0);
  EXPECT_EQ(HttpReplyReader::ParseStatus("HTTP/1.0 99999999999999999999 Big\r\n"), 0);
}

TEST(HttpReplyReader, HeaderKeepsEveryLineAndPicksTheValuesByPosition) {
  const std::string head =
      "HTTP/1.0 302 Found\r\n"
      "location: http://b.example/next\r\n"
      "Set-Cookie: id=42; path=/\r\n"
      "Content-Length: 5\r\n"
      "X-Other: 1\r\n"
      "\r\n";
  auto p = ParseAll(head + "hello");
  EXPECT_EQ(p.header, head);
  EXPECT_EQ(p.info.Status, 302);
  EXPECT_TRUE(p.info.HasLocation);
  EXPECT_EQ(p.info.Location, "http://b.example/next");
  EXPECT_TRUE(p.info.HasSetCookie);
  EXPECT_EQ(p.info.SetCookie, "id=42; path=/");
  EXPECT_EQ(p.info.ContentLength, 5);
  EXPECT_EQ(p.body, "hello");
}

TEST(HttpReplyReader, ValuesAreTakenFromFixedColumnsAndCutAt256) {
  // Two blanks after the name: the value starts one column early, as the client always did.
  auto p = ParseAll("HTTP/1.0 301 Moved\nLocation:  /x\nSet-Cookie: " + std::string(300, 'c') + "\n\n");
  EXPECT_EQ(p.info.Location, " /x");
  EXPECT_EQ(p.info.SetCookie, std::string(256, 'c'));
  // Bare LF line ends end the header too, and the last Location wins.
  auto q = ParseAll("HTTP/1.0 301 Moved\nLocation: /a\nLocation: /b\n\nbody");
  EXPECT_EQ(q.info.Location, "/b");
  EXPECT_EQ(q.body, "body");
}

TEST(HttpReplyReader, ContentLengthStopsTheBodyOnlyWhenAsked) {
  const std::string reply = "HTTP/1.0 200 OK\r\nContent-Length: 3\r\n\r\nabcdef";
  EXPECT_EQ(ParseAll(reply).body, "abc");
  EXPECT_EQ(ParseAll(reply, 65536, -1).body, "abcdef");
  EXPECT_EQ(ParseAll("HTTP/1.0 200 OK\r\nContent-Length: x\r\n\r\nabcdef").info.ContentLength, -1);
}

TEST(HttpReplyReader, SmallBlocksAndAOneByteLastBlockArriveWhole) {
  std::string body;
  for (int i = 0; i < 5000; ++i) body += static_cast<char>('a' + i % 26);
  body += 'Z';
  const std::string reply = "HTTP/1.0 200 OK\r\nServer: t\r\n\r\n" + body;
  for (size_t block : {size_t(1), size_t(7), size_t(4096), reply.size() - 1}) {
    auto p = ParseAll(reply, block);
    EXPECT_EQ(p.body, body) << "block " << block;
    EXPECT_EQ(p.header, "HTTP/1.0 200 OK\r\nServer: t\r\n\r\n");
  }
}

TEST(HttpReplyReader, TheTimeOutRestartsPerHeaderLineAndPerBodyBlock) {
  const std::string reply = "HTTP/1.0 200 OK\r\nA: 1\r\n\r\n" + std::string(300, 'b');
  MemorySource source(reply, 100);
  HttpReplyReader reader(source);
  std::string header, body;
  reader.ReadHeader(header);
  EXPECT_EQ(source.BeginCount(), 3);  // three lines
  reader.ReadBody(body);
  EXPECT_EQ(source.LastPhase(), MemorySource::Phase::Body);
  // Once at the start, then after each of the blocks that carried body bytes.
  EXPECT_GE(source.BeginCount(), 3 + 1 + 3);
  EXPECT_EQ(body.size(), 300u);
}

TEST(HttpReplyReader, AClosedConnectionEndsLinesAndTheHeader) {
  auto p = ParseAll("HTTP/1.0 200 OK\r\nPartial: li");
  EXPECT_EQ(p.info.Status, 200);
  EXPECT_EQ(p.header, "HTTP/1.0 200 OK\r\nPartial: li");
  EXPECT_EQ(p.body, "");
  auto empty = ParseAll("");
  EXPECT_EQ(empty.info.Status, 0);
  EXPECT_EQ(empty.header, "");
}

TEST(HttpReplyReader, OverlongOrTooManyHeaderLinesRaise) {
  EXPECT_THROW(ParseAll("HTTP/1.0 200 OK\r\nX: " + std::string(HttpReplyReader::kMaxLineLength, 'x') + "\r\n\r\n"),
               online::ESockError);
  // Exactly at the limit is fine.
  std::string line = "X: " + std::string(HttpReplyReader::kMaxLineLength - 5, 'x') + "\r\n";
  EXPECT_NO_THROW(ParseAll("HTTP/1.0 200 OK\r\n" + line + "\r\n"));

  std::string many = "HTTP/1.0 200 OK\r\n";
  for (size_t i = 0; i < HttpReplyReader::kMaxHeaderLines; ++i) many += "X: 1\r\n";
  EXPECT_NO_THROW(ParseAll(many + "\r\n"));
  try {
    ParseAll(many + "X: 1\r\n\r\n");
    FAIL() << "no exception";
  } catch (const online::ESockError& e) {
    EXPECT_EQ(e.ClassName(), "ESockError");
    EXPECT_STREQ(e.what(), "Too many reply header lines");
  }
}

TEST(HttpReplyReader, TheBodyIsCapped) {
  const std::string head = "HTTP/1.0 200 OK\r\n\r\n";
  EXPECT_EQ(ParseAll(head + std::string(HttpReplyReader::kMaxBodyBytes, 'b')).body.size(),
            HttpReplyReader::kMaxBodyBytes);
  try {
    ParseAll(head + std::string(HttpReplyReader::kMaxBodyBytes + 1, 'b'));
    FAIL() << "no exception";
  } catch (const online::ESockError& e) {
    EXPECT_STREQ(e.what(), "Reply body too large");
  }
}
