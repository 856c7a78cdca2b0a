#include "bridge/ProxySetup.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>

#include "platform/RegFile.h"
#include "platform/Registry.h"

extern char** environ;

namespace bridge {

namespace {

const std::string kKey(ProxySetup::kKeyPath);

std::string TextValue(const platform::RegDocument& doc, std::string_view name) {
  std::optional<platform::RegValue> v = doc.Find(kKey, name);
  return v && v->type == platform::RegValue::Type::String ? v->text : std::string();
}

}  // namespace

int ProxySetup::RunSystemctl(const std::vector<std::string>& args) {
  std::vector<std::string> argv = {"systemctl", "--user"};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<char*> raw;
  for (std::string& a : argv) raw.push_back(a.data());
  raw.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawnp(&pid, "systemctl", nullptr, nullptr, raw.data(), environ) != 0) return -1;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status) && WEXITSTATUS(status) == 127) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

ProxySetup::Change ProxySetup::WriteSettings(int port) {
  const std::string file = platform::RegistryFilePath();
  if (file.empty()) return Change::Failed;
  bool changed = false;
  const bool ok = platform::UpdateRegFile(file, [&](platform::RegDocument& doc) {
    std::optional<platform::RegValue> use = doc.Find(kKey, "UseProxy");
    changed = !(use && use->type == platform::RegValue::Type::DWord && use->dword == 1 &&
                TextValue(doc, "Proxy") == kProxyHost && TextValue(doc, "Port") == std::to_string(port));
    if (!changed) return false;
    doc.SetDWord(kKey, "UseProxy", 1);
    doc.SetString(kKey, "Proxy", kProxyHost);
    doc.SetString(kKey, "Port", std::to_string(port));
    return true;
  });
  if (!ok && changed) return Change::Failed;
  return changed ? Change::Written : Change::Unchanged;
}

ProxySetup::Change ProxySetup::ClearSettings(int port) {
  const std::string file = platform::RegistryFilePath();
  if (file.empty()) return Change::Failed;
  bool ours = false;
  const bool ok = platform::UpdateRegFile(file, [&](platform::RegDocument& doc) {
    ours = TextValue(doc, "Proxy") == kProxyHost && TextValue(doc, "Port") == std::to_string(port);
    if (!ours) return false;
    doc.SetDWord(kKey, "UseProxy", 0);
    doc.SetString(kKey, "Proxy", "");
    doc.SetString(kKey, "Port", "");
    return true;
  });
  if (!ours) return Change::Unchanged;
  return ok ? Change::Written : Change::Failed;
}

int ProxySetup::Enable(int port, std::ostream& out, const Systemctl& systemctl) {
  const Change change = WriteSettings(port);
  if (change == Change::Failed) {
    out << "brisvane-bridge: could not write the saver's settings (" << platform::RegistryFilePath() << ")\n";
    return 1;
  }
  out << "The saver's HTTP proxy setting now points at the bridge: 127.0.0.1 port " << port
      << (change == Change::Unchanged ? " (it already did).\n" : ".\n");
  systemctl({"daemon-reload"});
  const int enabled = systemctl({"enable", "--now", std::string(kSocketUnit)});
  if (enabled == 0) out << "The systemd user socket " << kSocketUnit << " is enabled; systemd starts the bridge on demand.\n";
  else if (enabled < 0) out << "systemd is not there: start brisvane-bridge yourself (it listens on 127.0.0.1:" << port << ").\n";
  else out << "systemctl could not enable " << kSocketUnit << " (is it installed?): start brisvane-bridge yourself.\n";
  return 0;
}

int ProxySetup::Disable(int port, std::ostream& out, const Systemctl& systemctl) {
  const int disabled = systemctl({"disable", "--now", std::string(kSocketUnit)});
  if (disabled >= 0) systemctl({"stop", std::string(kServiceUnit)});
  if (disabled == 0) out << "The systemd user socket " << kSocketUnit << " is disabled.\n";
  const Change change = ClearSettings(port);
  if (change == Change::Failed) {
    out << "brisvane-bridge: could not write the saver's settings (" << platform::RegistryFilePath() << ")\n";
    return 1;
  }
  if (change == Change::Written) out << "The saver no longer uses the bridge as its proxy.\n";
  else out << "The saver's proxy setting does not point at the bridge (127.0.0.1 port " << port << "); left as it is.\n";
  return 0;
}

}  // namespace bridge
