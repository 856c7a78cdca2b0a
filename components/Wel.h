// TWEL: the library's event log. Opens a text file named after the program
// (up to the first dot of its whole path, then ".log"), keeps it open for its
// lifetime and appends one flushed line per call, across runs. A file that
// cannot be opened makes every write a silent no-op.
#pragma once

#include <cstdio>
#include <string>

#include "framework/TComponent.h"

namespace components {

class TWEL : public framework::TComponent {
 public:
  explicit TWEL(TComponent* AOwner);
  // Logs to fileName instead of the program's own log file.
  TWEL(TComponent* AOwner, const std::string& fileName);
  ~TWEL() override;
  std::string ClassName() const override { return "TWEL"; }

  std::string GetLogFileName() const;
  // The log file name for a program at programPath.
  static std::string LogFileNameFor(const std::string& programPath);

  void WriteToLog(const std::string& text);
  // The name right-aligned in a 256-character field (a longer one cut to 256),
  // then ": " and the text; both trimmed of blanks and control characters.
  void WriteToLog(const std::string& name, const std::string& text);

  bool IsOpen() const { return LogStream != nullptr; }

 private:
  void Open(const std::string& fileName);

  std::FILE* LogStream = nullptr;
};

}  // namespace components
