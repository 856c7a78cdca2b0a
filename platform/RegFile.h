// The registry export file behind platform::Registry: parsing that keeps every
// line it does not understand, editing in place, and the locked atomic replace.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

struct RegValue {
  enum class Type { String, DWord, Other };
  Type type = Type::Other;
  std::uint32_t dword = 0;
  std::string text;
};

class RegDocument {
 public:
  // Reads what can be read; never fails. Unknown lines are kept verbatim.
  static RegDocument Parse(std::string_view text);
  std::string Serialize() const;

  // Paths are relative to HKEY_CURRENT_USER, compared without regard to case.
  bool KeyExists(std::string_view path) const;
  // The same answer straight from the file's text, without building a document.
  static bool KeyExistsIn(std::string_view text, std::string_view path);
  void CreateKey(std::string_view path);
  // True when something was removed.
  bool DeleteKey(std::string_view path);
  // The last value of that name in the key, if any.
  std::optional<RegValue> Find(std::string_view path, std::string_view name) const;
  // Replaces the last value of that name in the key, or appends it (creating the key).
  void SetDWord(std::string_view path, std::string_view name, std::uint32_t value);
  void SetString(std::string_view path, std::string_view name, std::string_view text);

  std::size_t LineCount() const { return lines_.size(); }
  // Logical lines (continuations joined) the parser did not understand, values
  // of an unknown type included.
  std::size_t UnknownLineCount() const;

 private:
  enum class Kind { Blank, Comment, Header, Key, OtherRoot, Value, Unknown };
  struct Line {
    std::string raw;   // physical text, continuations joined by '\n', no final newline
    Kind kind = Kind::Unknown;
    std::string key;   // Key lines: the path below HKEY_CURRENT_USER
    int section = -1;  // index of the Key line this line belongs to, -1 for none
    std::string name;  // Value lines
    RegValue value;
  };
  static Line ParseLine(std::string raw);
  void Reindex();
  void EnsureHeader();
  void SetValue(std::string_view path, std::string_view name, const std::string& rendered);
  int LastSection(std::string_view path) const;

  std::vector<Line> lines_;
};

// Formats a value line: "Name"=dword:000000c8 or "Name"="text" (text holding a
// line break is written as hex(1) so the file stays one value per line).
std::string FormatDWordLine(std::string_view name, std::uint32_t value);
std::string FormatStringLine(std::string_view name, std::string_view text);

// Whole-file access. Read: nullopt when the file exists but cannot be read (or
// is implausibly large); a missing file reads as empty.
std::optional<std::string> ReadRegFile(const std::string& path);
// Locks path + ".lock", re-reads the file, lets edit change the document and,
// when edit returns true, replaces the file atomically. False on any failure.
// The new file is flushed to the disk before it replaces the old one, so a
// power cut leaves the old or the new settings, never an empty file.
bool UpdateRegFile(const std::string& path, const std::function<bool(RegDocument&)>& edit);
// Replaces path with text atomically (a temporary beside it, flushed, then
// renamed over it), the file getting mode. False, with errno set and nothing
// left behind, on failure.
bool ReplaceFileAtomically(const std::string& path, const std::string& text, unsigned mode);
// Tests that write thousands of times may skip the flush (about 10 ms each);
// locking and replacing stay the same.
void SetRegFileSyncForTesting(bool sync);

}  // namespace platform
