#include "platform/RegFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <set>

namespace platform {

namespace {

constexpr std::string_view kRoot = "HKEY_CURRENT_USER";
// Bigger than any settings file could honestly grow; such a file is refused
// rather than read into memory and rewritten.
constexpr off_t kMaxFileSize = 16 * 1024 * 1024;
std::atomic<bool> gSyncWrites{true};

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

bool StartsNoCase(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && EqualNoCase(s.substr(0, prefix.size()), prefix);
}

// path is path itself or a key below it.
bool IsAtOrBelow(std::string_view key, std::string_view path) {
  if (EqualNoCase(key, path)) return true;
  return key.size() > path.size() && StartsNoCase(key, path) && key[path.size()] == '\\';
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = Lower(c);
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Reads a quoted text starting at s[pos] == '"' with \\ and \" escapes. On
// success pos is past the closing quote.
bool ReadQuoted(std::string_view s, std::size_t& pos, std::string& out) {
  if (pos >= s.size() || s[pos] != '"') return false;
  out.clear();
  std::size_t i = pos + 1;
  for (;;) {
    const std::size_t stop = s.find_first_of("\\\"", i);
    if (stop == std::string_view::npos) return false;
    out.append(s.substr(i, stop - i));
    if (s[stop] == '"') {
      pos = stop + 1;
      return true;
    }
    // Only \\ and \" are escapes; any other backslash stands for itself.
    if (stop + 1 < s.size() && (s[stop + 1] == '\\' || s[stop + 1] == '"')) {
      out += s[stop + 1];
      i = stop + 2;
    } else {
      out += '\\';
      i = stop + 1;
    }
  }
}

std::string Escape(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 2);
  for (char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out;
}

// "hex(1):41,42,00" with continuation lines: the bytes up to the first NUL.
bool ParseHexString(std::string_view data, std::string& out) {
  out.clear();
  bool seenNul = false;
  std::size_t i = 0;
  while (i < data.size()) {
    char c = data[i];
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\\' || c == ',') {
      ++i;
      continue;
    }
    if (i + 1 >= data.size()) return false;
    int hi = HexDigit(c), lo = HexDigit(data[i + 1]);
    if (hi < 0 || lo < 0) return false;
    char byte = static_cast<char>(hi * 16 + lo);
    if (byte == '\0') seenNul = true;
    if (!seenNul) out += byte;
    i += 2;
  }
  return true;
}

RegValue ParseData(std::string_view data) {
  RegValue v;
  data = Trim(data);
  if (StartsNoCase(data, "dword:")) {
    std::string_view digits = data.substr(6);
    if (digits.empty() || digits.size() > 8) return v;
    std::uint32_t n = 0;
    for (char c : digits) {
      int d = HexDigit(c);
      if (d < 0) return v;
      n = n * 16 + static_cast<std::uint32_t>(d);
    }
    v.type = RegValue::Type::DWord;
    v.dword = n;
    return v;
  }
  if (!data.empty() && data.front() == '"') {
    std::size_t pos = 0;
    std::string text;
    if (ReadQuoted(data, pos, text) && Trim(data.substr(pos)).empty()) {
      v.type = RegValue::Type::String;
      v.text = std::move(text);
    }
    return v;
  }
  if (StartsNoCase(data, "hex(1):")) {
    std::string text;
    if (ParseHexString(data.substr(7), text)) {
      v.type = RegValue::Type::String;
      v.text = std::move(text);
    }
  }
  return v;
}

// A value line whose data is binary may continue on the next lines.
bool IsHexValueStart(std::string_view s) {
  std::size_t eq = s.find("=hex");
  return eq != std::string_view::npos && !s.empty() && (s.front() == '"' || s.front() == '@');
}

// The parser joins the next physical line to this one: a binary value whose
// last line still ends in a backslash (a file cut off mid-value).
bool JoinsNextLine(std::string_view raw) {
  std::string_view s = Trim(raw);
  return IsHexValueStart(s) && !s.empty() && s.back() == '\\';
}

}  // namespace

RegDocument::Line RegDocument::ParseLine(std::string raw) {
  Line line;
  line.raw = std::move(raw);
  std::string_view s = Trim(line.raw);
  if (s.empty()) {
    line.kind = Kind::Blank;
  } else if (s.front() == ';') {
    line.kind = Kind::Comment;
  } else if (s == "REGEDIT4" || s == "Windows Registry Editor Version 5.00") {
    line.kind = Kind::Header;
  } else if (s.front() == '[') {
    // Any other bracketed line ends the current key, so values after a damaged
    // header are never taken for values of the key before it.
    line.kind = Kind::OtherRoot;
    if (s.size() >= 2 && s.back() == ']') {
      std::string_view inner = s.substr(1, s.size() - 2);
      if (EqualNoCase(inner, kRoot)) {
        line.kind = Kind::Key;
      } else if (inner.size() > kRoot.size() && StartsNoCase(inner, kRoot) && inner[kRoot.size()] == '\\') {
        line.kind = Kind::Key;
        line.key = std::string(inner.substr(kRoot.size() + 1));
      }
    }
  } else if (s.front() == '"' || s.front() == '@') {
    std::size_t pos = 0;
    std::string name;
    bool named = false;
    if (s.front() == '@') {
      pos = 1;
      named = true;
    } else {
      named = ReadQuoted(s, pos, name);
    }
    while (named && pos < s.size() && (s[pos] == ' ' || s[pos] == '\t')) ++pos;
    if (named && pos < s.size() && s[pos] == '=' && Trim(s.substr(pos + 1)) != "-") {
      line.kind = Kind::Value;
      line.name = std::move(name);
      line.value = ParseData(s.substr(pos + 1));
    }
  }
  return line;
}

RegDocument RegDocument::Parse(std::string_view text) {
  RegDocument doc;
  doc.lines_.reserve(static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1);
  std::size_t start = 0;
  auto nextLine = [&]() {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    return line;
  };
  while (start < text.size()) {
    std::string raw(nextLine());
    if (IsHexValueStart(Trim(raw))) {
      while (!Trim(raw).empty() && Trim(raw).back() == '\\' && start < text.size()) {
        raw += '\n';
        raw += nextLine();
      }
    }
    doc.lines_.push_back(ParseLine(std::move(raw)));
  }
  doc.Reindex();
  return doc;
}

std::string RegDocument::Serialize() const {
  std::string out;
  for (const Line& line : lines_) {
    out += line.raw;
    out += '\n';
  }
  return out;
}

void RegDocument::Reindex() {
  int current = -1;
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    Line& line = lines_[i];
    if (line.kind == Kind::Key) current = static_cast<int>(i);
    else if (line.kind == Kind::OtherRoot) current = -1;
    line.section = (line.kind == Kind::OtherRoot || line.kind == Kind::Header) ? -1 : current;
  }
}

std::size_t RegDocument::UnknownLineCount() const {
  std::size_t n = 0;
  for (const Line& line : lines_)
    if (line.kind == Kind::Unknown || (line.kind == Kind::Value && line.value.type == RegValue::Type::Other)) ++n;
  return n;
}

bool RegDocument::KeyExists(std::string_view path) const {
  if (path.empty()) return true;  // the root itself
  for (const Line& line : lines_)
    if (line.kind == Kind::Key && IsAtOrBelow(line.key, path)) return true;
  return false;
}

bool RegDocument::KeyExistsIn(std::string_view text, std::string_view path) {
  if (path.empty()) return true;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = Trim(text.substr(start, end - start));
    start = end + 1;
    if (line.empty() || line.front() != '[') continue;
    Line parsed = ParseLine(std::string(line));
    if (parsed.kind == Kind::Key && IsAtOrBelow(parsed.key, path)) return true;
  }
  return false;
}

int RegDocument::LastSection(std::string_view path) const {
  for (std::size_t i = lines_.size(); i-- > 0;)
    if (lines_[i].kind == Kind::Key && EqualNoCase(lines_[i].key, path)) return static_cast<int>(i);
  return -1;
}

void RegDocument::EnsureHeader() {
  if (!lines_.empty() && lines_.front().kind == Kind::Header) return;
  lines_.insert(lines_.begin(), ParseLine(""));
  lines_.insert(lines_.begin(), ParseLine("REGEDIT4"));
  Reindex();
}

void RegDocument::CreateKey(std::string_view path) {
  if (LastSection(path) >= 0) return;
  EnsureHeader();
  if (lines_.back().kind != Kind::Blank) lines_.push_back(ParseLine(""));
  std::string header(1, '[');
  header.append(kRoot);
  if (!path.empty()) header.append(1, '\\').append(path);
  header.append(1, ']');
  lines_.push_back(ParseLine(header));
  Reindex();
}

bool RegDocument::DeleteKey(std::string_view path) {
  std::set<int> doomed;
  for (std::size_t i = 0; i < lines_.size(); ++i)
    if (lines_[i].kind == Kind::Key && IsAtOrBelow(lines_[i].key, path)) doomed.insert(static_cast<int>(i));
  if (doomed.empty()) return false;
  std::vector<Line> kept;
  for (std::size_t i = 0; i < lines_.size(); ++i)
    if (!doomed.count(static_cast<int>(i)) && !doomed.count(lines_[i].section)) kept.push_back(std::move(lines_[i]));
  lines_ = std::move(kept);
  Reindex();
  return true;
}

std::optional<RegValue> RegDocument::Find(std::string_view path, std::string_view name) const {
  std::optional<RegValue> found;
  for (const Line& line : lines_)
    if (line.kind == Kind::Value && line.section >= 0 && EqualNoCase(lines_[line.section].key, path) &&
        EqualNoCase(line.name, name))
      found = line.value;
  return found;
}

void RegDocument::SetValue(std::string_view path, std::string_view name, const std::string& rendered) {
  EnsureHeader();
  for (std::size_t i = lines_.size(); i-- > 0;) {
    const Line& line = lines_[i];
    if (line.kind == Kind::Value && line.section >= 0 && EqualNoCase(lines_[line.section].key, path) &&
        EqualNoCase(line.name, name)) {
      lines_[i] = ParseLine(rendered);
      Reindex();
      return;
    }
  }
  CreateKey(path);
  const int section = LastSection(path);
  std::size_t last = static_cast<std::size_t>(section);
  for (std::size_t j = last + 1; j < lines_.size() && lines_[j].section == section; ++j)
    if (lines_[j].kind != Kind::Blank) last = j;
  auto at = lines_.begin() + static_cast<std::ptrdiff_t>(last + 1);
  // A blank line absorbs the dangling continuation, so the new value stays a line of its own.
  if (JoinsNextLine(lines_[last].raw)) at = lines_.insert(at, ParseLine("")) + 1;
  lines_.insert(at, ParseLine(rendered));
  Reindex();
}

void RegDocument::SetDWord(std::string_view path, std::string_view name, std::uint32_t value) {
  SetValue(path, name, FormatDWordLine(name, value));
}

void RegDocument::SetString(std::string_view path, std::string_view name, std::string_view text) {
  SetValue(path, name, FormatStringLine(name, text));
}

namespace {

std::string NamePart(std::string_view name) {
  if (name.empty()) return "@";
  std::string quoted(1, '"');
  quoted.append(Escape(name)).append(1, '"');
  return quoted;
}

}  // namespace

std::string FormatDWordLine(std::string_view name, std::uint32_t value) {
  char digits[16];
  std::snprintf(digits, sizeof digits, "%08x", value);
  return NamePart(name) + "=dword:" + digits;
}

std::string FormatStringLine(std::string_view name, std::string_view text) {
  text = text.substr(0, text.find('\0'));  // REG_SZ ends at the first NUL
  if (text.find_first_of("\r\n") == std::string_view::npos) return NamePart(name) + "=\"" + Escape(text) + "\"";
  std::string out = NamePart(name) + "=hex(1):";
  char byte[4];
  for (char c : text) {
    std::snprintf(byte, sizeof byte, "%02x,", static_cast<unsigned char>(c));
    out += byte;
  }
  return out + "00";
}

std::optional<std::string> ReadRegFile(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT) return std::string();
    return std::nullopt;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > kMaxFileSize) {
    ::close(fd);
    return std::nullopt;
  }
  std::string text;
  char buffer[16384];
  for (;;) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 || text.size() > static_cast<std::size_t>(kMaxFileSize)) {
      ::close(fd);
      return std::nullopt;
    }
    if (n == 0) break;
    text.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return text;
}

namespace {

bool MakeFolders(const std::string& folder) {
  if (folder.empty()) return true;
  std::size_t pos = 0;
  while (pos != std::string::npos) {
    pos = folder.find('/', pos + 1);
    std::string part = folder.substr(0, pos);
    if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  struct stat st {};
  return ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool WriteAll(int fd, const std::string& data) {
  std::size_t done = 0;
  while (done < data.size()) {
    ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// Holds the advisory lock for the duration of one update.
class FileLock {
 public:
  explicit FileLock(const std::string& path) {
    fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ < 0) return;
    int rc;
    do rc = ::flock(fd_, LOCK_EX);
    while (rc != 0 && errno == EINTR);
    locked_ = rc == 0;
  }
  ~FileLock() {
    if (fd_ >= 0) ::close(fd_);  // closing releases the lock
  }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  bool Locked() const { return locked_; }

 private:
  int fd_ = -1;
  bool locked_ = false;
};

}  // namespace

void SetRegFileSyncForTesting(bool sync) { gSyncWrites.store(sync); }

bool UpdateRegFile(const std::string& path, const std::function<bool(RegDocument&)>& edit) {
  const std::size_t slash = path.rfind('/');
  if (path.empty() || !MakeFolders(slash == std::string::npos ? std::string() : path.substr(0, slash))) return false;
  FileLock lock(path + ".lock");
  if (!lock.Locked()) return false;
  // Re-read under the lock: another process may have written since our caller looked.
  std::optional<std::string> text = ReadRegFile(path);
  if (!text) return false;
  RegDocument doc = RegDocument::Parse(*text);
  if (!edit(doc)) return true;

  mode_t mode = 0600;
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) mode = st.st_mode & 07777;
  return ReplaceFileAtomically(path, doc.Serialize(), mode);
}

bool ReplaceFileAtomically(const std::string& path, const std::string& text, unsigned mode) {
  std::string temp = path + ".XXXXXX";
  int fd = ::mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = WriteAll(fd, text) && ::fchmod(fd, static_cast<mode_t>(mode)) == 0 &&
            (!gSyncWrites.load() || ::fsync(fd) == 0);
  ok = (::close(fd) == 0) && ok;
  if (ok) ok = ::rename(temp.c_str(), path.c_str()) == 0;
  if (!ok) {
    const int error = errno;
    ::unlink(temp.c_str());
    errno = error;
  }
  return ok;
}

}  // namespace platform
