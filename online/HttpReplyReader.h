// Reads an HTTP/1.0 reply from a ByteSource: status line, header lines, body.
// Bounded everywhere, so a hostile or broken peer cannot exhaust memory.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "online/ByteSource.h"

namespace online {

struct HttpReplyInfo {
  int Status = 0;
  bool HasLocation = false;
  std::string Location;   // from the 11th character of the line, at most 256
  bool HasSetCookie = false;
  std::string SetCookie;  // from the 13th character of the line, at most 256
  long long ContentLength = -1;  // -1 when absent or not a number
};

class HttpReplyReader {
 public:
  static constexpr std::size_t kBlockSize = 65536;
  static constexpr std::size_t kMaxLineLength = 16384;
  static constexpr std::size_t kMaxHeaderLines = 256;
  static constexpr std::size_t kMaxBodyBytes = 16u << 20;
  static constexpr std::size_t kMaxHeaderValue = 256;

  explicit HttpReplyReader(ByteSource& source);

  // Everything up to and including the next line feed; at the end of the stream
  // what is left (empty when nothing is).
  std::string ReadLine();
  // Reads the status line and the header lines up to the empty line, appending
  // each to header.
  HttpReplyInfo ReadHeader(std::string& header);
  // Replaces body with the rest of the stream; stops early at stopAt bytes when
  // stopAt >= 0.
  void ReadBody(std::string& body, long long stopAt = -1);

  // The status of a status line: its second blank-separated word, 0 when that is no number.
  static int ParseStatus(const std::string& line);

 private:
  // Reads one more block; false at the end of the stream.
  bool Fill();

  ByteSource& FSource;
  std::vector<char> FBlock;
  std::size_t FStart = 0;
  std::size_t FEnd = 0;
  bool FAtEnd = false;
};

}  // namespace online
