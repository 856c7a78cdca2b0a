#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "bridge/ReplyCache.h"

namespace {

using bridge::CachedReply;
using bridge::ReplyCache;

struct TempDir {
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "brisvane-cache-XXXXXX").string();
    path = mkdtemp(pattern.data()) ? pattern : "";
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }
  std::string path;
};

CachedReply Entry(const std::string& body, std::int64_t stored) {
  CachedReply r;
  r.contentType = "text/xml";
  r.body = body;
  r.storedAt = stored;
  r.freshUntil = stored + 60;
  return r;
}

TEST(ReplyCache, LeastRecentlyUsedGoesFirstWhenFull) {
  ReplyCache cache({}, 3 * (1000 + 200), 10);
  cache.Store("a", Entry(std::string(1000, 'a'), 1));
  cache.Store("b", Entry(std::string(1000, 'b'), 1));
  cache.Store("c", Entry(std::string(1000, 'c'), 1));
  ASSERT_TRUE(cache.Find("a"));  // now the most recent
  cache.Store("d", Entry(std::string(1000, 'd'), 1));
  EXPECT_TRUE(cache.Find("a"));
  EXPECT_FALSE(cache.Find("b"));
  EXPECT_TRUE(cache.Find("c"));
  EXPECT_TRUE(cache.Find("d"));
  EXPECT_LE(cache.Bytes(), 3u * 1200u);
  // One entry larger than the whole cache is not kept at all.
  cache.Store("huge", Entry(std::string(5000, 'h'), 1));
  EXPECT_FALSE(cache.Find("huge"));
  ReplyCache counted({}, 1u << 20, 2);
  for (const char* k : {"x", "y", "z"}) counted.Store(k, Entry(k, 1));
  EXPECT_EQ(counted.Entries(), 2u);
  EXPECT_FALSE(counted.Find("x"));
}

TEST(ReplyCache, ReplacingAnEntryKeepsTheBytesRight) {
  ReplyCache cache;
  cache.Store("k", Entry(std::string(100, 'x'), 1));
  const size_t once = cache.Bytes();
  cache.Store("k", Entry(std::string(100, 'y'), 2));
  EXPECT_EQ(cache.Bytes(), once);
  EXPECT_EQ(cache.Find("k")->body, std::string(100, 'y'));
}

TEST(ReplyCache, SurvivesOnDiskAndReadsBackExactly) {
  TempDir dir;
  CachedReply r = Entry(std::string("<rss>\0\xFF\r\n", 10), 1700000000);
  r.status = 203;
  r.lastModified = "Tue, 16 Jan 2024 10:00:00 GMT";
  r.upstreamBody = "{\"json\":true}";
  {
    ReplyCache first(dir.path);
    first.Store("news|http://a/?x=1", r);
  }
  ReplyCache second(dir.path);
  std::optional<CachedReply> back = second.Find("news|http://a/?x=1");
  ASSERT_TRUE(back);
  EXPECT_EQ(back->status, 203);
  EXPECT_EQ(back->body, r.body);
  EXPECT_EQ(back->upstreamBody, r.upstreamBody);
  EXPECT_EQ(back->lastModified, r.lastModified);
  EXPECT_EQ(back->storedAt, r.storedAt);
  EXPECT_EQ(back->freshUntil, r.freshUntil);
  EXPECT_FALSE(second.Find("news|http://a/?x=2"));
}

TEST(ReplyCache, DamagedFilesAreIgnored) {
  TempDir dir;
  ReplyCache cache(dir.path);
  const std::string key = "weather|open-meteo|20001|f";
  const std::string good = ReplyCache::Serialise(key, Entry("body", 5));
  const std::string damaged[] = {
      "",
      "something else",
      good.substr(0, good.size() - 1),  // body cut short
      good + "x",                       // longer than it says
      ReplyCache::Serialise("another key", Entry("body", 5)),
  };
  for (const std::string& text : damaged) {
    std::ofstream(cache.FileFor(key), std::ios::binary | std::ios::trunc) << text;
    EXPECT_FALSE(ReplyCache(dir.path).Find(key)) << text.size();
    EXPECT_FALSE(ReplyCache::Deserialise(key, text));
  }
  EXPECT_TRUE(ReplyCache::Deserialise(key, good));
}

TEST(ReplyCache, PruneDropsOldEntriesInMemoryAndOnDisk) {
  TempDir dir;
  ReplyCache cache(dir.path);
  cache.Store("old", Entry("o", 100));
  cache.Store("new", Entry("n", 200));
  cache.Prune(150);
  EXPECT_FALSE(cache.Find("old"));
  EXPECT_TRUE(cache.Find("new"));
  EXPECT_FALSE(std::filesystem::exists(cache.FileFor("old")));
  EXPECT_TRUE(std::filesystem::exists(cache.FileFor("new")));
}

TEST(ReplyCache, DiskHoldsABoundedNumberOfFiles) {
  TempDir dir;
  ReplyCache cache(dir.path, 1u << 20, 8);
  for (size_t i = 0; i < ReplyCache::kMaxDiskFiles + 20; ++i) cache.Store("k" + std::to_string(i), Entry("b", 1));
  size_t files = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir.path)) files += e.path().extension() == ".cache";
  EXPECT_EQ(files, ReplyCache::kMaxDiskFiles);
}

}  // namespace
