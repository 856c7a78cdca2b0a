// Runs a fuzz entry point without libFuzzer (gcc builds, CI): every file of
// the seed corpus as it is, then a fixed number of deterministic mutations of
// each, so a sanitizer build sees the damaged inputs the fuzzer would try.
//   replay [--mutations N] [--seed S] <corpus dir or file>...
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

using Bytes = std::vector<std::uint8_t>;

struct Random {
  std::uint64_t state;
  std::uint64_t Next() {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return state;
  }
  std::size_t Below(std::size_t n) { return n ? static_cast<std::size_t>(Next() % n) : 0; }
};

void Mutate(Bytes& b, Random& r) {
  static constexpr std::uint32_t kInteresting[] = {0, 1, 0x7F, 0x80, 0xFF, 0x7FFF, 0x8000, 0xFFFF,
                                                   0x7FFFFFFF, 0x80000000u, 0xFFFFFFFFu, 65536};
  const int steps = 1 + static_cast<int>(r.Below(4));
  for (int s = 0; s < steps; ++s) {
    if (b.empty()) {
      b.push_back(static_cast<std::uint8_t>(r.Next()));
      continue;
    }
    const std::size_t at = r.Below(b.size());
    switch (r.Below(8)) {
      case 0: b[at] ^= static_cast<std::uint8_t>(1u << r.Below(8)); break;
      case 1: b[at] = static_cast<std::uint8_t>(kInteresting[r.Below(std::size(kInteresting))]); break;
      case 2: {  // a little-endian 16- or 32-bit field
        const std::uint32_t v = kInteresting[r.Below(std::size(kInteresting))];
        const std::size_t width = r.Below(2) ? 4 : 2;
        for (std::size_t i = 0; i < width && at + i < b.size(); ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
        break;
      }
      case 3: b.resize(at); break;
      case 4: b.erase(b.begin() + static_cast<std::ptrdiff_t>(at),
                      b.begin() + static_cast<std::ptrdiff_t>(std::min(b.size(), at + 1 + r.Below(16))));
        break;
      case 5: b.insert(b.begin() + static_cast<std::ptrdiff_t>(at), 1 + r.Below(8), static_cast<std::uint8_t>(r.Next()));
        break;
      case 6: {  // repeat a chunk
        const std::size_t from = r.Below(b.size()), len = std::min(b.size() - from, 1 + r.Below(32));
        const Bytes chunk(b.begin() + static_cast<std::ptrdiff_t>(from), b.begin() + static_cast<std::ptrdiff_t>(from + len));
        b.insert(b.begin() + static_cast<std::ptrdiff_t>(at), chunk.begin(), chunk.end());
        break;
      }
      default: b[at] = static_cast<std::uint8_t>(r.Next()); break;
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  long mutations = 0;
  std::uint64_t seed = 0x9E3779B97F4A7C15ull;
  std::vector<std::filesystem::path> inputs;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--mutations") && i + 1 < argc) {
      mutations = std::strtol(argv[++i], nullptr, 10);
    } else if (!std::strcmp(argv[i], "--seed") && i + 1 < argc) {
      seed = std::strtoull(argv[++i], nullptr, 0);
    } else if (std::filesystem::is_directory(argv[i])) {
      for (const auto& e : std::filesystem::directory_iterator(argv[i]))
        if (e.is_regular_file()) inputs.push_back(e.path());
    } else {
      inputs.emplace_back(argv[i]);
    }
  }
  std::sort(inputs.begin(), inputs.end());
  if (inputs.empty()) {
    std::fprintf(stderr, "no inputs\n");
    return 2;
  }
  long runs = 0;
  for (std::size_t f = 0; f < inputs.size(); ++f) {
    std::ifstream in(inputs[f], std::ios::binary);
    if (!in) {
      std::fprintf(stderr, "cannot read %s\n", inputs[f].c_str());
      return 2;
    }
    const Bytes original((std::istreambuf_iterator<char>(in)), {});
    LLVMFuzzerTestOneInput(original.data(), original.size());
    ++runs;
    Random r{seed ^ (0x100000001B3ull * (f + 1))};
    for (long m = 0; m < mutations; ++m) {
      Bytes b = original;
      Mutate(b, r);
      LLVMFuzzerTestOneInput(b.data(), b.size());
      ++runs;
    }
  }
  std::printf("%zu inputs, %ld runs\n", inputs.size(), runs);
  return 0;
}
