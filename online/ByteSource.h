// The bounded reads the reply parser stands on: a socket in the client, a
// memory buffer in tests and benchmarks.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>

namespace online {

class ByteSource {
 public:
  // Header lines and the body have different time-out rules and abort texts.
  enum class Phase { HeaderLine, Body };

  virtual ~ByteSource() = default;
  // Called before each header line and before the body (restarts the time-out).
  virtual void Begin(Phase phase) = 0;
  // Reads at most maxBytes; returns 0 at the end of the stream. Raises on errors.
  virtual std::size_t Read(char* buffer, std::size_t maxBytes) = 0;
};

// A source over a byte string, handing out at most blockSize bytes per read.
class MemorySource : public ByteSource {
 public:
  explicit MemorySource(std::string data, std::size_t blockSize = 65536)
      : FData(std::move(data)), FBlockSize(blockSize ? blockSize : 1) {}
  void Begin(Phase phase) override {
    FLastPhase = phase;
    ++FBeginCount;
  }
  std::size_t Read(char* buffer, std::size_t maxBytes) override {
    std::size_t n = std::min({maxBytes, FBlockSize, FData.size() - FPosition});
    std::memcpy(buffer, FData.data() + FPosition, n);
    FPosition += n;
    return n;
  }
  Phase LastPhase() const { return FLastPhase; }
  int BeginCount() const { return FBeginCount; }

 private:
  std::string FData;
  std::size_t FBlockSize;
  std::size_t FPosition = 0;
  Phase FLastPhase = Phase::HeaderLine;
  int FBeginCount = 0;
};

}  // namespace online
