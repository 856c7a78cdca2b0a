#include "platform/Registry.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "platform/RegFile.h"

namespace platform {

namespace {

std::string HomeFolder() {
  const char* home = std::getenv("HOME");
  if (home && home[0] == '/') return home;
  // Screensaver hosts may start us with a bare environment.
  long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
  passwd entry{};
  passwd* found = nullptr;
  if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_dir &&
      found->pw_dir[0] == '/')
    return found->pw_dir;
  return std::string();
}

RegDocument LoadOrThrow(const std::string& file, const std::string& failure) {
  std::optional<std::string> text = ReadRegFile(file);
  if (!text) throw RegistryError(failure);
  return RegDocument::Parse(*text);
}

}  // namespace

std::string RegistryFilePath() {
  std::string base;
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && xdg[0] == '/') {
    base = xdg;  // relative values are invalid and ignored
  } else {
    std::string home = HomeFolder();
    if (home.empty()) return std::string();
    base = home + "/.config";
  }
  return base + "/brisvane/HKEY_CURRENT_USER.reg";
}

Registry::Registry(std::uint32_t access) : access_(access) {}

Registry::~Registry() { CloseKey(); }

std::string Registry::Absolute(const std::string& path) const {
  if (!path.empty() && path.front() == '\\') return path.substr(1);
  if (open_ && !path_.empty()) return path.empty() ? path_ : path_ + "\\" + path;
  return path;
}

bool Registry::OpenKey(const std::string& path, bool canCreate) {
  const std::string absolute = Absolute(path);
  const std::string file = RegistryFilePath();
  if (file.empty()) return false;
  std::optional<std::string> text = ReadRegFile(file);
  if (!text) return false;
  if (!RegDocument::KeyExistsIn(*text, absolute)) {
    if (!canCreate || !(access_ & KEY_CREATE_SUB_KEY)) return false;
    bool created = UpdateRegFile(file, [&](RegDocument& doc) {
      if (doc.KeyExists(absolute)) return false;
      doc.CreateKey(absolute);
      return true;
    });
    if (!created) return false;
  }
  open_ = true;
  path_ = absolute;
  return true;
}

void Registry::CloseKey() {
  open_ = false;
  path_.clear();
}

bool Registry::KeyExists(const std::string& path) const {
  const std::string file = RegistryFilePath();
  std::optional<std::string> text = file.empty() ? std::nullopt : ReadRegFile(file);
  return text && RegDocument::KeyExistsIn(*text, Absolute(path));
}

bool Registry::DeleteKey(const std::string& path) {
  const std::string absolute = Absolute(path);
  const std::string file = RegistryFilePath();
  if (file.empty() || absolute.empty() || !(access_ & KEY_SET_VALUE)) return false;
  bool removed = false;
  bool ok = UpdateRegFile(file, [&](RegDocument& doc) { return removed = doc.DeleteKey(absolute); });
  // The open key went with it: like a deleted key's handle, it is no longer usable.
  if (ok && removed && open_ && !KeyExists("\\" + path_)) CloseKey();
  return ok && removed;
}

void Registry::RequireOpen(std::uint32_t right) const {
  if (!open_) throw RegistryError("No registry key is open");
  if (!(access_ & right)) throw RegistryError("Access denied");
}

bool Registry::ValueExists(const std::string& name) const { return GetDataType(name) != RegDataType::None; }

RegDataType Registry::GetDataType(const std::string& name) const {
  if (!open_ || !(access_ & KEY_QUERY_VALUE)) return RegDataType::None;
  std::optional<std::string> text = ReadRegFile(RegistryFilePath());
  if (!text) return RegDataType::None;
  std::optional<RegValue> value = RegDocument::Parse(*text).Find(path_, name);
  if (!value) return RegDataType::None;
  switch (value->type) {
    case RegValue::Type::String: return RegDataType::String;
    case RegValue::Type::DWord: return RegDataType::DWord;
    case RegValue::Type::Other: break;
  }
  return RegDataType::Other;
}

int Registry::ReadInteger(const std::string& name) const {
  const std::string failed = "Failed to get data for '" + name + "'";
  RequireOpen(KEY_QUERY_VALUE);
  std::optional<RegValue> value = LoadOrThrow(RegistryFilePath(), failed).Find(path_, name);
  if (!value) throw RegistryError(failed);
  if (value->type != RegValue::Type::DWord) throw RegistryError("Invalid data type for '" + name + "'");
  return static_cast<int>(value->dword);
}

std::string Registry::ReadString(const std::string& name) const {
  RequireOpen(KEY_QUERY_VALUE);
  std::optional<RegValue> value =
      LoadOrThrow(RegistryFilePath(), "Failed to get data for '" + name + "'").Find(path_, name);
  if (!value) return std::string();
  if (value->type != RegValue::Type::String) throw RegistryError("Invalid data type for '" + name + "'");
  return value->text;
}

namespace {

// A name must stay on its one line of the file.
bool StorableName(const std::string& name) { return name.find_first_of(std::string("\r\n\0", 3)) == std::string::npos; }

}  // namespace

void Registry::WriteInteger(const std::string& name, int value) {
  RequireOpen(KEY_SET_VALUE);
  const std::string path = path_;
  if (!StorableName(name) || !UpdateRegFile(RegistryFilePath(), [&](RegDocument& doc) {
        doc.SetDWord(path, name, static_cast<std::uint32_t>(value));
        return true;
      }))
    throw RegistryError("Failed to set data for '" + name + "'");
}

void Registry::WriteString(const std::string& name, const std::string& text) {
  RequireOpen(KEY_SET_VALUE);
  const std::string path = path_;
  if (!StorableName(name) || !UpdateRegFile(RegistryFilePath(), [&](RegDocument& doc) {
        doc.SetString(path, name, text);
        return true;
      }))
    throw RegistryError("Failed to set data for '" + name + "'");
}

}  // namespace platform
