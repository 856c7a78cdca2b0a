#include "shell/XScreenSaverList.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

#include "platform/RegFile.h"

namespace shell {

namespace {

// X resource syntax: a line whose last character is a backslash continues the
// value on the next line; "\n" inside the value ends one program's entry.
bool Continues(const std::string& line) {
  std::size_t n = 0;
  while (n < line.size() && line[line.size() - 1 - n] == '\\') ++n;
  return n % 2 == 1;
}

std::string TrimRight(std::string s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.pop_back();
  return s;
}

std::size_t SkipBlanks(const std::string& s, std::size_t i) {
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
  return i;
}

bool IsProgramsResource(const std::string& line) {
  std::size_t i = SkipBlanks(line, 0);
  if (i < line.size() && line[i] == '*') ++i;
  if (line.compare(i, 8, "programs") != 0) return false;
  i = SkipBlanks(line, i + 8);
  return i < line.size() && line[i] == ':';
}

// A list line "[-] [visual:] ["Name"] command args \n\" whose command is ours.
bool IsOurEntry(std::string line) {
  if (Continues(line)) line.pop_back();
  line = TrimRight(line);
  if (line.size() >= 2 && line.compare(line.size() - 2, 2, "\\n") == 0) line.resize(line.size() - 2);
  std::size_t i = SkipBlanks(line, 0);
  if (i < line.size() && line[i] == '-') i = SkipBlanks(line, i + 1);
  std::size_t j = i;
  while (j < line.size() && (std::isalnum(static_cast<unsigned char>(line[j])) || line[j] == '-' || line[j] == '_')) ++j;
  if (j > i && j < line.size() && line[j] == ':') i = SkipBlanks(line, j + 1);
  if (i < line.size() && line[i] == '"') {
    const std::size_t close = line.find('"', i + 1);
    if (close == std::string::npos) return false;
    i = SkipBlanks(line, close + 1);
  }
  std::size_t end = i;
  while (end < line.size() && line[end] != ' ' && line[end] != '\t') ++end;
  const std::string command = line.substr(i, end - i);
  return command == "brisvane" || (command.size() > 9 && command.compare(command.size() - 9, 9, "/brisvane") == 0);
}

struct Lines {
  std::vector<std::string> lines;
  bool finalNewline = true;

  explicit Lines(const std::string& text) {
    std::size_t start = 0;
    while (start < text.size()) {
      const std::size_t nl = text.find('\n', start);
      if (nl == std::string::npos) {
        lines.push_back(text.substr(start));
        finalNewline = false;
        break;
      }
      lines.push_back(text.substr(start, nl - start));
      start = nl + 1;
    }
  }
  std::string Text() const {
    std::string out;
    for (std::size_t i = 0; i < lines.size(); ++i) {
      out += lines[i];
      if (i + 1 < lines.size() || finalNewline) out += '\n';
    }
    return out;
  }
  // The first and last line of the programs resource; false when there is none.
  bool FindPrograms(std::size_t& first, std::size_t& last) const {
    bool continued = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
      if (!continued && IsProgramsResource(lines[i])) {
        first = last = i;
        while (last + 1 < lines.size() && Continues(lines[last])) ++last;
        return true;
      }
      continued = Continues(lines[i]);
    }
    return false;
  }
};

std::string EntryLine() { return std::string("  ") + kXScreenSaverEntry + "  \\n"; }

}  // namespace

std::string AddToProgramsList(const std::string& text) {
  Lines file(text);
  std::size_t first = 0, last = 0;
  if (!file.FindPrograms(first, last)) {
    file.lines.push_back("programs:\t\\");
    file.lines.push_back(EntryLine());
    file.finalNewline = true;
    return file.Text();
  }
  for (std::size_t i = first + 1; i <= last; ++i)
    if (IsOurEntry(file.lines[i])) return text;
  // Appended, so the positions of the listed programs (the "selected" one) stay.
  std::string& end = file.lines[last];
  const std::string value = TrimRight(end);
  const bool terminated = (value.size() >= 2 && value.compare(value.size() - 2, 2, "\\n") == 0) ||
                          (last == first && !value.empty() && value.back() == ':');
  end += terminated ? "\\" : "\\n\\";
  file.lines.insert(file.lines.begin() + static_cast<std::ptrdiff_t>(last) + 1, EntryLine());
  return file.Text();
}

std::string RemoveFromProgramsList(const std::string& text) {
  Lines file(text);
  std::size_t first = 0, last = 0;
  if (!file.FindPrograms(first, last)) return text;
  bool removedLast = false, removed = false;
  for (std::size_t i = last; i > first; --i) {
    if (!IsOurEntry(file.lines[i])) continue;
    removedLast = removedLast || i == last;
    file.lines.erase(file.lines.begin() + static_cast<std::ptrdiff_t>(i));
    --last;
    removed = true;
  }
  if (!removed) return text;
  // The line now ending the list no longer continues.
  if (removedLast && Continues(file.lines[last])) file.lines[last].pop_back();
  return file.Text();
}

namespace {

std::string HomeFolder() {
  if (const char* home = std::getenv("HOME"); home && *home) return home;
  if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) return pw->pw_dir;
  return "";
}

bool WriteWhole(const std::string& path, const std::string& text, mode_t mode, std::string& error) {
  if (platform::ReplaceFileAtomically(path, text, mode)) return true;
  error = "cannot write " + path + ": " + std::strerror(errno);
  return false;
}

}  // namespace

bool EditXScreenSaverFile(bool add, std::string& message) {
  const std::string home = HomeFolder();
  if (home.empty()) {
    message = "no home folder";
    return false;
  }
  std::string path = home + "/.xscreensaver";
  // A link (a dotfile manager's, say) stays a link: its target is edited.
  char resolved[PATH_MAX];
  if (realpath(path.c_str(), resolved)) path = resolved;
  std::string text;
  mode_t mode = 0644;
  struct stat st;
  const bool exists = stat(path.c_str(), &st) == 0;
  if (exists) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    if (!in) {
      message = "cannot read " + path;
      return false;
    }
    text = all.str();
    mode = st.st_mode & 07777;
  } else if (errno != ENOENT) {
    message = "cannot read " + path + ": " + std::strerror(errno);
    return false;
  }
  const std::string changed = add ? AddToProgramsList(text) : RemoveFromProgramsList(text);
  if (changed == text) {
    message = add ? "already in the programs list of " + path : "not in the programs list of " + path;
    return true;
  }
  if (exists && !WriteWhole(path + ".bak", text, mode, message)) return false;
  if (!WriteWhole(path, changed, mode, message)) return false;
  message = (add ? "added to the programs list of " : "removed from the programs list of ") + path;
  return true;
}

}  // namespace shell
