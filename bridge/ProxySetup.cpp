#include "bridge/ProxySetup.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <optional>

#include "platform/RegFile.h"
#include "platform/Registry.h"

extern char** environ;

namespace bridge {

namespace {

using platform::RegDocument;
using platform::RegValue;

const std::string kKey(ProxySetup::kKeyPath);
constexpr std::string_view kUseProxy = "UseProxy", kProxy = "Proxy", kPort = "Port";
constexpr std::string_view kBridgePort = "BridgePort";

std::string TextValue(const RegDocument& doc, std::string_view name) {
  std::optional<RegValue> v = doc.Find(kKey, name);
  return v && v->type == RegValue::Type::String ? v->text : std::string();
}

bool ProxyIsBridge(const RegDocument& doc, const std::string& port) {
  return TextValue(doc, kProxy) == ProxySetup::kProxyHost && TextValue(doc, kPort) == port;
}

// Values of another type cannot be written back and are not kept.
void CopyValue(const RegDocument& from, RegDocument& to, std::string_view name) {
  std::optional<RegValue> v = from.Find(kKey, name);
  if (v && v->type == RegValue::Type::DWord) to.SetDWord(kKey, name, v->dword);
  else if (v && v->type == RegValue::Type::String) to.SetString(kKey, name, v->text);
}

// The saved values; a document without the key when none are saved, nothing
// when the file cannot be read.
std::optional<RegDocument> ReadSaved() {
  std::optional<std::string> text = platform::ReadRegFile(ProxySetup::SavedProxyPath());
  if (!text) return std::nullopt;
  return RegDocument::Parse(*text);
}

}  // namespace

std::string ProxySetup::SavedProxyPath() {
  const std::string settings = platform::RegistryFilePath();
  const std::size_t slash = settings.rfind('/');
  if (slash == std::string::npos) return {};
  return settings.substr(0, slash + 1) + "brisvane-bridge-saved-proxy.reg";
}

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
  const std::string file = platform::RegistryFilePath(), savedFile = SavedProxyPath();
  if (file.empty() || savedFile.empty()) return Change::Failed;
  const std::string portText = std::to_string(port);
  bool changed = false, kept = true;
  // Under the settings' lock, so that --enable and --disable never interleave.
  const bool ok = platform::UpdateRegFile(file, [&](RegDocument& doc) {
    std::optional<RegValue> use = doc.Find(kKey, kUseProxy);
    changed = !(use && use->type == RegValue::Type::DWord && use->dword == 1 && ProxyIsBridge(doc, portText));
    if (!changed) return false;
    std::optional<RegDocument> saved = ReadSaved();
    const bool earlierEnable =
        saved && saved->KeyExists(kKey) && ProxyIsBridge(doc, TextValue(*saved, kBridgePort));
    kept = platform::UpdateRegFile(savedFile, [&](RegDocument& keep) {
      if (!earlierEnable) {
        keep.DeleteKey(kKey);
        for (std::string_view name : {kUseProxy, kProxy, kPort}) CopyValue(doc, keep, name);
      }
      keep.SetString(kKey, kBridgePort, portText);
      return true;
    });
    // Never point the saver elsewhere without a way back.
    if (!kept) return false;
    doc.SetDWord(kKey, kUseProxy, 1);
    doc.SetString(kKey, kProxy, kProxyHost);
    doc.SetString(kKey, kPort, portText);
    return true;
  });
  if (!kept || (!ok && changed)) return Change::Failed;
  return changed ? Change::Written : Change::Unchanged;
}

ProxySetup::Change ProxySetup::ClearSettings(int port) {
  const std::string file = platform::RegistryFilePath(), savedFile = SavedProxyPath();
  if (file.empty() || savedFile.empty()) return Change::Failed;
  bool ours = false, readable = true, has = false;
  const bool ok = platform::UpdateRegFile(file, [&](RegDocument& doc) {
    ours = ProxyIsBridge(doc, std::to_string(port));
    if (!ours) return false;
    std::optional<RegDocument> saved = ReadSaved();
    readable = saved.has_value();
    if (!readable) return false;
    has = saved->KeyExists(kKey);
    std::optional<RegValue> use = doc.Find(kKey, kUseProxy);
    if (use && use->type == RegValue::Type::DWord && use->dword == 1) {
      doc.SetDWord(kKey, kUseProxy, 0);
      if (has) CopyValue(*saved, doc, kUseProxy);
    }
    for (std::string_view name : {kProxy, kPort}) {
      doc.SetString(kKey, name, "");
      if (has) CopyValue(*saved, doc, name);
    }
    return true;
  });
  if (!ours) return Change::Unchanged;
  if (!ok || !readable) return Change::Failed;
  // The values are back where they belong; a later --enable keeps them anew.
  if (has) platform::UpdateRegFile(savedFile, [](RegDocument& keep) { return keep.DeleteKey(kKey); });
  return Change::Written;
}

int ProxySetup::Enable(int port, std::ostream& out, const Systemctl& systemctl) {
  const Change change = WriteSettings(port);
  if (change == Change::Failed) {
    out << "brisvane-bridge: could not write the saver's settings (" << platform::RegistryFilePath() << ") or keep "
        << "its proxy setting (" << SavedProxyPath() << ")\n";
    return 1;
  }
  out << "The saver's HTTP proxy setting now points at the bridge: 127.0.0.1 port " << port
      << (change == Change::Unchanged ? " (it already did).\n" : ".\n");
  if (port != kSocketPort) {
    out << "The systemd user socket " << kSocketUnit << " listens on port " << kSocketPort
        << " only, so it is left as it is: start \"brisvane-bridge --port " << port
        << "\" yourself (at login, for instance).\n";
    return 0;
  }
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
    out << "brisvane-bridge: could not write the saver's settings (" << platform::RegistryFilePath() << ") or read "
        << "its earlier proxy setting (" << SavedProxyPath() << ")\n";
    return 1;
  }
  if (change == Change::Written) out << "The saver's proxy setting is back as it was before the bridge.\n";
  else out << "The saver's proxy setting does not point at the bridge (127.0.0.1 port " << port << "); left as it is.\n";
  return 0;
}

}  // namespace bridge
