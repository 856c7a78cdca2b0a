#include "bridge/ReplyCache.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

namespace bridge {

namespace {

constexpr std::string_view kMagic = "brisvane-bridge cache 1\n";
constexpr std::size_t kMaxFileBytes = 64u << 20;

std::uint64_t Fnv1a(const std::string& text) {
  std::uint64_t h = 0xcbf29ce484222325ull;
  for (unsigned char c : text) {
    h ^= c;
    h *= 0x100000001b3ull;
  }
  return h;
}

// Header values never carry a line break into the file.
std::string OneLine(const std::string& s) {
  std::string out;
  for (char c : s) out += (c == '\r' || c == '\n') ? ' ' : c;
  return out;
}

bool ReadLine(std::string_view& text, std::string_view name, std::string& value) {
  const std::size_t eol = text.find('\n');
  if (eol == std::string_view::npos) return false;
  const std::string_view line = text.substr(0, eol);
  text.remove_prefix(eol + 1);
  if (!line.starts_with(name) || line.size() < name.size() + 1 || line[name.size()] != ' ') return false;
  value = std::string(line.substr(name.size() + 1));
  return true;
}

bool ToNumber(const std::string& s, long long& value) {
  if (s.empty() || s.size() > 19 || s.find_first_not_of("-0123456789") != std::string::npos) return false;
  value = std::stoll(s);
  return true;
}

}  // namespace

ReplyCache::ReplyCache(std::string directory, std::size_t maxBytes, std::size_t maxEntries)
    : FDirectory(std::move(directory)), FMaxBytes(maxBytes), FMaxEntries(maxEntries) {}

std::string ReplyCache::FileFor(const std::string& key) const {
  if (FDirectory.empty()) return {};
  char name[40];
  std::snprintf(name, sizeof name, "bridge-%016llx.cache", static_cast<unsigned long long>(Fnv1a(key)));
  return FDirectory + "/" + name;
}

std::string ReplyCache::Serialise(const std::string& key, const CachedReply& r) {
  std::string out(kMagic);
  out += "key " + OneLine(key) + "\n";
  out += "status " + std::to_string(r.status) + "\n";
  out += "content-type " + OneLine(r.contentType) + "\n";
  out += "stored " + std::to_string(r.storedAt) + "\n";
  out += "fresh " + std::to_string(r.freshUntil) + "\n";
  out += "last-modified " + OneLine(r.lastModified) + "\n";
  out += "body " + std::to_string(r.body.size()) + "\n";
  out += "upstream " + std::to_string(r.upstreamBody.size()) + "\n";
  out += r.body;
  out += r.upstreamBody;
  return out;
}

std::optional<CachedReply> ReplyCache::Deserialise(const std::string& key, const std::string& text) {
  std::string_view rest(text);
  if (!rest.starts_with(kMagic)) return std::nullopt;
  rest.remove_prefix(kMagic.size());
  std::string storedKey, status, type, stored, fresh, modified, bodySize, upstreamSize;
  if (!ReadLine(rest, "key", storedKey) || storedKey != OneLine(key) || !ReadLine(rest, "status", status) ||
      !ReadLine(rest, "content-type", type) || !ReadLine(rest, "stored", stored) || !ReadLine(rest, "fresh", fresh) ||
      !ReadLine(rest, "last-modified", modified) || !ReadLine(rest, "body", bodySize) ||
      !ReadLine(rest, "upstream", upstreamSize))
    return std::nullopt;
  long long code = 0, storedAt = 0, freshUntil = 0, bodyBytes = 0, upstreamBytes = 0;
  if (!ToNumber(status, code) || code < 100 || code > 599 || !ToNumber(stored, storedAt) ||
      !ToNumber(fresh, freshUntil) || !ToNumber(bodySize, bodyBytes) || !ToNumber(upstreamSize, upstreamBytes) ||
      bodyBytes < 0 || upstreamBytes < 0 ||
      static_cast<unsigned long long>(bodyBytes) + static_cast<unsigned long long>(upstreamBytes) != rest.size())
    return std::nullopt;
  CachedReply r;
  r.status = static_cast<int>(code);
  r.contentType = type;
  r.storedAt = storedAt;
  r.freshUntil = freshUntil;
  r.lastModified = modified;
  r.body = std::string(rest.substr(0, static_cast<std::size_t>(bodyBytes)));
  r.upstreamBody = std::string(rest.substr(static_cast<std::size_t>(bodyBytes)));
  return r;
}

std::size_t ReplyCache::Cost(const std::string& key, const CachedReply& r) {
  return key.size() + r.body.size() + r.upstreamBody.size() + r.contentType.size() + r.lastModified.size() + 128;
}

void ReplyCache::Evict() {
  while (!FOrder.empty() && (FBytes > FMaxBytes || FSlots.size() > FMaxEntries)) {
    auto it = FSlots.find(FOrder.back());
    FBytes -= Cost(it->first, it->second.reply);
    FSlots.erase(it);
    FOrder.pop_back();
  }
}

void ReplyCache::Insert(const std::string& key, const CachedReply& reply) {
  auto it = FSlots.find(key);
  if (it != FSlots.end()) {
    FBytes -= Cost(key, it->second.reply);
    FOrder.erase(it->second.order);
    FSlots.erase(it);
  }
  if (Cost(key, reply) > FMaxBytes) return;
  FOrder.push_front(key);
  FSlots.emplace(key, Slot{reply, FOrder.begin()});
  FBytes += Cost(key, reply);
  Evict();
}

std::optional<CachedReply> ReplyCache::Find(const std::string& key) {
  std::lock_guard<std::mutex> lock(FMutex);
  auto it = FSlots.find(key);
  if (it != FSlots.end()) {
    FOrder.splice(FOrder.begin(), FOrder, it->second.order);
    return it->second.reply;
  }
  if (FDirectory.empty()) return std::nullopt;
  std::ifstream in(FileFor(key), std::ios::binary);
  if (!in) return std::nullopt;
  std::stringstream s;
  s << in.rdbuf();
  const std::string text = s.str();
  if (text.size() > kMaxFileBytes) return std::nullopt;
  std::optional<CachedReply> reply = Deserialise(key, text);
  if (reply) Insert(key, *reply);
  return reply;
}

void ReplyCache::Store(const std::string& key, const CachedReply& reply) {
  {
    std::lock_guard<std::mutex> lock(FMutex);
    Insert(key, reply);
  }
  if (!FDirectory.empty()) {
    WriteFile(key, reply);
    TrimDisk();
  }
}

// Written beside and renamed over, so a reader never sees half an entry.
void ReplyCache::WriteFile(const std::string& key, const CachedReply& reply) const {
  std::error_code ec;
  std::filesystem::create_directories(FDirectory, ec);
  const std::string path = FileFor(key);
  static std::atomic<unsigned> serial{0};
  const std::string temporary = path + ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(serial++);
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << Serialise(key, reply);
    if (!out) {
      std::filesystem::remove(temporary, ec);
      return;
    }
  }
  std::filesystem::rename(temporary, path, ec);
  if (ec) std::filesystem::remove(temporary, ec);
}

void ReplyCache::TrimDisk() const {
  std::error_code ec;
  std::vector<std::pair<std::filesystem::file_time_type, std::filesystem::path>> files;
  for (const auto& e : std::filesystem::directory_iterator(FDirectory, ec)) {
    const std::string name = e.path().filename().string();
    if (name.starts_with("bridge-") && name.ends_with(".cache")) files.emplace_back(e.last_write_time(ec), e.path());
  }
  if (files.size() <= kMaxDiskFiles) return;
  std::sort(files.begin(), files.end());
  for (std::size_t i = 0; i + kMaxDiskFiles < files.size(); ++i) std::filesystem::remove(files[i].second, ec);
}

void ReplyCache::Prune(std::int64_t storedBefore) {
  {
    std::lock_guard<std::mutex> lock(FMutex);
    for (auto it = FSlots.begin(); it != FSlots.end();) {
      if (it->second.reply.storedAt < storedBefore) {
        FBytes -= Cost(it->first, it->second.reply);
        FOrder.erase(it->second.order);
        it = FSlots.erase(it);
      } else {
        ++it;
      }
    }
  }
  if (FDirectory.empty()) return;
  std::error_code ec;
  std::vector<std::filesystem::path> old;
  for (const auto& e : std::filesystem::directory_iterator(FDirectory, ec)) {
    const std::string name = e.path().filename().string();
    if (!name.starts_with("bridge-") || !name.ends_with(".cache")) continue;
    std::ifstream in(e.path(), std::ios::binary);
    std::string magic(kMagic.size(), '\0'), line;
    in.read(magic.data(), static_cast<std::streamsize>(magic.size()));
    std::getline(in, line);  // key
    std::getline(in, line);  // status
    std::getline(in, line);  // content-type
    std::getline(in, line);  // stored
    long long stored = 0;
    if (magic != kMagic || !line.starts_with("stored ") || !ToNumber(line.substr(7), stored) || stored < storedBefore)
      old.push_back(e.path());
  }
  for (const auto& p : old) std::filesystem::remove(p, ec);
}

std::size_t ReplyCache::Bytes() const {
  std::lock_guard<std::mutex> lock(FMutex);
  return FBytes;
}

std::size_t ReplyCache::Entries() const {
  std::lock_guard<std::mutex> lock(FMutex);
  return FSlots.size();
}

}  // namespace bridge
