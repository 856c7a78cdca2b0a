#include "components/Wel.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

namespace components {

namespace {

constexpr std::size_t kNameField = 256;

std::string ProgramPath() {
  char buffer[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer);
  return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
}

// Blanks and control characters, as the framework's Trim sees them.
std::string Trim(const std::string& text) {
  std::size_t begin = 0, end = text.size();
  while (begin < end && static_cast<unsigned char>(text[begin]) <= ' ') ++begin;
  while (end > begin && static_cast<unsigned char>(text[end - 1]) <= ' ') --end;
  return text.substr(begin, end - begin);
}

}  // namespace

TWEL::TWEL(TComponent* AOwner) : TComponent(AOwner) { Open(GetLogFileName()); }

TWEL::TWEL(TComponent* AOwner, const std::string& fileName) : TComponent(AOwner) { Open(fileName); }

TWEL::~TWEL() {
  if (LogStream) std::fclose(LogStream);
}

void TWEL::Open(const std::string& fileName) {
  int fd;
  do fd = ::open(fileName.c_str(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
  while (fd < 0 && errno == EINTR);
  if (fd < 0) return;
  LogStream = ::fdopen(fd, "a");
  if (!LogStream) ::close(fd);
}

std::string TWEL::LogFileNameFor(const std::string& programPath) {
  const std::size_t dot = programPath.find('.');
  // Without a dot nothing is kept: the name is ".log" in the current folder.
  return (dot == std::string::npos ? std::string() : programPath.substr(0, dot)) + ".log";
}

std::string TWEL::GetLogFileName() const { return LogFileNameFor(ProgramPath()); }

void TWEL::WriteToLog(const std::string& text) {
  if (!LogStream) return;
  std::fwrite(text.data(), 1, text.size(), LogStream);
  std::fputc('\n', LogStream);
  std::fflush(LogStream);
}

void TWEL::WriteToLog(const std::string& name, const std::string& text) {
  std::string field = Trim(name);
  if (field.size() > kNameField) field.resize(kNameField);
  else field.insert(0, kNameField - field.size(), ' ');
  WriteToLog(field + ": " + Trim(text));
}

}  // namespace components
