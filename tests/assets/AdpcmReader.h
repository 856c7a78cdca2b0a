// Reads a RIFF WAVE file in Microsoft ADPCM: the header fields and the
// decoded samples, cut to the frame count of the fact chunk.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace assets_test {

struct Wave {
  int format = 0, channels = 0, rate = 0, bits = 0, blockAlign = 0, samplesPerBlock = 0;
  std::uint32_t factFrames = 0;
  std::vector<std::vector<int>> samples;  // per channel
};

inline std::uint32_t Le(std::span<const std::uint8_t> b, std::size_t at, int n) {
  std::uint32_t v = 0;
  for (int i = n - 1; i >= 0; --i) v = v << 8 | b[at + i];
  return v;
}

inline int Signed16(std::uint32_t v) { return static_cast<std::int16_t>(static_cast<std::uint16_t>(v)); }

// Parses the RIFF chunks and decodes Microsoft ADPCM, truncated to the fact count.
inline bool ReadAdpcmWave(std::span<const std::uint8_t> b, Wave& w, std::string& why) {
  if (b.size() < 12 || std::memcmp(b.data(), "RIFF", 4) || std::memcmp(b.data() + 8, "WAVE", 4))
    return why = "not RIFF WAVE", false;
  std::span<const std::uint8_t> data;
  std::vector<std::pair<int, int>> coefs;
  for (std::size_t at = 12; at + 8 <= b.size();) {
    std::uint32_t size = Le(b, at + 4, 4);
    if (at + 8 + size > b.size()) return why = "chunk runs past the end", false;
    std::string id(reinterpret_cast<const char*>(b.data() + at), 4);
    std::size_t body = at + 8;
    if (id == "fmt ") {
      w.format = static_cast<int>(Le(b, body, 2));
      w.channels = static_cast<int>(Le(b, body + 2, 2));
      w.rate = static_cast<int>(Le(b, body + 4, 4));
      w.blockAlign = static_cast<int>(Le(b, body + 12, 2));
      w.bits = static_cast<int>(Le(b, body + 14, 2));
      if (size >= 22) {
        w.samplesPerBlock = static_cast<int>(Le(b, body + 18, 2));
        int n = static_cast<int>(Le(b, body + 20, 2));
        for (int i = 0; i < n && body + 22 + 4 * i + 4 <= body + size; ++i)
          coefs.emplace_back(Signed16(Le(b, body + 22 + 4 * i, 2)), Signed16(Le(b, body + 24 + 4 * i, 2)));
      }
    } else if (id == "fact") {
      w.factFrames = Le(b, body, 4);
    } else if (id == "data") {
      data = b.subspan(body, size);
    }
    at = body + size + (size & 1);
  }
  if (w.format != 2 || w.channels < 1 || coefs.empty() || data.empty()) return why = "not MS ADPCM", false;
  static const int adapt[16] = {230, 230, 230, 230, 307, 409, 512, 614, 768, 614, 512, 409, 307, 230, 230, 230};
  const int ch = w.channels;
  w.samples.assign(static_cast<std::size_t>(ch), {});
  for (std::size_t blk = 0; blk + static_cast<std::size_t>(w.blockAlign) <= data.size(); blk += static_cast<std::size_t>(w.blockAlign)) {
    auto d = data.subspan(blk, static_cast<std::size_t>(w.blockAlign));
    std::vector<int> pred(ch), delta(ch), s1(ch), s2(ch);
    for (int c = 0; c < ch; ++c) {
      pred[c] = d[c];
      if (pred[c] >= static_cast<int>(coefs.size())) return why = "bad predictor", false;
      delta[c] = Signed16(Le(d, static_cast<std::size_t>(ch + 2 * c), 2));
      s1[c] = Signed16(Le(d, static_cast<std::size_t>(3 * ch + 2 * c), 2));
      s2[c] = Signed16(Le(d, static_cast<std::size_t>(5 * ch + 2 * c), 2));
      w.samples[c].push_back(s2[c]);
      w.samples[c].push_back(s1[c]);
    }
    int c = 0;
    for (std::size_t i = static_cast<std::size_t>(7 * ch); i < d.size(); ++i)
      for (int half = 0; half < 2; ++half) {
        int nib = half == 0 ? d[i] >> 4 : d[i] & 0xF;
        int sn = nib >= 8 ? nib - 16 : nib;
        int p = (s1[c] * coefs[pred[c]].first + s2[c] * coefs[pred[c]].second) / 256;
        int v = std::clamp(p + sn * delta[c], -32768, 32767);
        w.samples[c].push_back(v);
        s2[c] = s1[c];
        s1[c] = v;
        delta[c] = std::max(16, adapt[nib] * delta[c] / 256);
        c = (c + 1) % ch;
      }
  }
  for (auto& s : w.samples)
    if (s.size() > w.factFrames) s.resize(w.factFrames);
  return true;
}

}  // namespace assets_test
