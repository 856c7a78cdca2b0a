// The bridge's replies by request, kept in memory (bounded by count and
// bytes, least recently used out first) and, when a folder is given, also on
// disk, so a bridge started again by socket activation still has the last
// good replies for an upstream outage.
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

namespace bridge {

struct CachedReply {
  int status = 200;
  std::string contentType;
  std::string body;
  std::int64_t storedAt = 0;    // seconds since the epoch of the last good upstream answer
  std::int64_t freshUntil = 0;  // until then no upstream request is made
  // For conditional requests: the upstream's Last-Modified and its body.
  std::string lastModified;
  std::string upstreamBody;
};

class ReplyCache {
 public:
  static constexpr std::size_t kDefaultMaxBytes = 32u << 20;
  static constexpr std::size_t kDefaultMaxEntries = 512;
  static constexpr std::size_t kMaxDiskFiles = 256;

  explicit ReplyCache(std::string directory = {}, std::size_t maxBytes = kDefaultMaxBytes,
                      std::size_t maxEntries = kDefaultMaxEntries);

  // The entry whatever its age; the caller judges freshness.
  std::optional<CachedReply> Find(const std::string& key);
  void Store(const std::string& key, const CachedReply& reply);
  // Drops entries (memory and disk) stored before the given time.
  void Prune(std::int64_t storedBefore);

  std::size_t Bytes() const;
  std::size_t Entries() const;

  // The file an entry lives in, and its text form; public for the tests.
  std::string FileFor(const std::string& key) const;
  static std::string Serialise(const std::string& key, const CachedReply& reply);
  static std::optional<CachedReply> Deserialise(const std::string& key, const std::string& text);

 private:
  struct Slot {
    CachedReply reply;
    std::list<std::string>::iterator order;
  };
  static std::size_t Cost(const std::string& key, const CachedReply& reply);
  void Insert(const std::string& key, const CachedReply& reply);
  void Evict();
  void WriteFile(const std::string& key, const CachedReply& reply) const;
  void TrimDisk() const;

  std::string FDirectory;
  std::size_t FMaxBytes;
  std::size_t FMaxEntries;
  mutable std::mutex FMutex;
  std::unordered_map<std::string, Slot> FSlots;
  std::list<std::string> FOrder;  // most recently used first
  std::size_t FBytes = 0;
};

}  // namespace bridge
