// The registry of the current user, stood in for by one text file in registry
// export syntax: ${XDG_CONFIG_HOME:-$HOME/.config}/brisvane/HKEY_CURRENT_USER.reg.
// Reads look at the file as it is now; every write re-reads it under an
// advisory lock and replaces it atomically, so the dialog and a running saver
// never lose each other's values and a crash never leaves half a file. Lines
// the parser does not understand are written back unchanged.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace platform {

constexpr std::uint32_t KEY_QUERY_VALUE = 0x0001;
constexpr std::uint32_t KEY_SET_VALUE = 0x0002;
constexpr std::uint32_t KEY_CREATE_SUB_KEY = 0x0004;
constexpr std::uint32_t KEY_ENUMERATE_SUB_KEYS = 0x0008;
constexpr std::uint32_t KEY_READ = 0x20019;
constexpr std::uint32_t KEY_WRITE = 0x20006;
constexpr std::uint32_t KEY_ALL_ACCESS = 0xF003F;

enum class RegDataType { None, String, DWord, Other };

// Raised where the real registry accessor raises: an integer read of a missing
// or non-integer value, a text read of a non-text value, a failed write.
class RegistryError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The file that holds HKEY_CURRENT_USER. Needs neither XDG_CONFIG_HOME nor HOME:
// falls back to the password database's home folder. Empty when none is known.
std::string RegistryFilePath();

// One open key at a time, like the framework's registry accessor. Key paths are
// relative to HKEY_CURRENT_USER and taken literally (an empty element between
// two backslashes is a key of its own); names compare without regard to case.
class Registry {
 public:
  explicit Registry(std::uint32_t access = KEY_ALL_ACCESS);
  ~Registry();
  Registry(const Registry&) = delete;
  Registry& operator=(const Registry&) = delete;

  // Opens the key; with canCreate a missing key is created at once. False when
  // the key is absent (and not to be created) or the file cannot be read or written.
  bool OpenKey(const std::string& path, bool canCreate);
  void CloseKey();
  bool HasOpenKey() const { return open_; }
  const std::string& CurrentPath() const { return path_; }

  bool KeyExists(const std::string& path) const;
  // Removes the key, its values and every key below it.
  bool DeleteKey(const std::string& path);

  bool ValueExists(const std::string& name) const;
  RegDataType GetDataType(const std::string& name) const;
  // REG_DWORD read; raises RegistryError when the value is missing or not an integer.
  int ReadInteger(const std::string& name) const;
  // REG_SZ read; a missing value reads as empty, another type raises RegistryError.
  std::string ReadString(const std::string& name) const;
  // Raise RegistryError when the value cannot be stored.
  void WriteInteger(const std::string& name, int value);
  void WriteString(const std::string& name, const std::string& text);

 private:
  std::string Absolute(const std::string& path) const;
  void RequireOpen(std::uint32_t right) const;

  std::uint32_t access_;
  bool open_ = false;
  std::string path_;
};

}  // namespace platform
