// The lake music: soft pads over a slow progression in D, a sparse bell
// melody, lapping water and a few bird calls. Every voice is written into a
// circular buffer and the reverb runs round the loop twice, so the clip's last
// sample flows into its first.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

#include "Generators.h"

namespace art {
namespace {

constexpr double kTau = 6.283185307179586;
constexpr std::size_t kN = kMusicFrames;
constexpr double kBeat = static_cast<double>(kN) / 64.0;  // 16 bars of 4 beats, about 92 bpm

double Freq(double midi) { return 440.0 * std::pow(2.0, (midi - 69.0) / 12.0); }

struct Buffer {
  std::vector<double> l = std::vector<double>(kN, 0.0), r = std::vector<double>(kN, 0.0);
  void Add(double pos, double vl, double vr) {
    auto i = static_cast<std::size_t>(pos) % kN;
    l[i] += vl;
    r[i] += vr;
  }
};

// A note whose tail wraps past the loop end into the start.
template <typename Voice>
void Note(Buffer& out, double startBeat, double seconds, double pan, Voice voice) {
  auto start = static_cast<std::size_t>(startBeat * kBeat);
  auto len = static_cast<std::size_t>(seconds * kMusicRate);
  double gl = std::cos((pan + 1) * kTau / 8), gr = std::sin((pan + 1) * kTau / 8);
  for (std::size_t i = 0; i < len; ++i) {
    double v = voice(static_cast<double>(i) / kMusicRate);
    out.Add(static_cast<double>(start + i), v * gl, v * gr);
  }
}

void Pads(Buffer& out) {
  // Eight chords of two bars each; the last leans back toward the first.
  const std::array<std::array<int, 5>, 8> chords = {{
      {50, 57, 61, 64, 66},  // D maj9
      {47, 54, 57, 62, 64},  // B m7 add 11
      {43, 50, 54, 59, 62},  // G maj7
      {45, 52, 57, 59, 64},  // A sus2
      {42, 50, 57, 61, 64},  // D maj7 over F#
      {40, 47, 55, 59, 66},  // E m9
      {43, 50, 57, 59, 66},  // G maj9
      {45, 52, 57, 62, 64},  // A sus4
  }};
  const double len = 8 * kBeat / kMusicRate;
  for (std::size_t c = 0; c < chords.size(); ++c) {
    for (std::size_t n = 0; n < chords[c].size(); ++n) {
      double f = Freq(chords[c][n]);
      double pan = -0.6 + 1.2 * static_cast<double>(n) / 4.0;
      for (int d = -1; d <= 1; ++d) {
        double detune = std::pow(2.0, d * 4.0 / 1200.0);
        double ph = 0.37 * (n + 1) * (d + 2);
        Note(out, c * 8.0 - 0.6, len + 3.5, pan * 0.8 + 0.15 * d, [=](double t) {
          double env = std::min(1.0, t / 2.2) * std::min(1.0, std::max(0.0, (len + 3.5 - t) / 3.0));
          env = env * env * (3 - 2 * env);
          double s = 0;
          const double harm[5] = {1.0, 0.38, 0.16, 0.07, 0.03};
          for (int h = 0; h < 5; ++h) s += harm[h] * std::sin(kTau * f * detune * (h + 1) * t + ph * (h + 1));
          double swell = 0.8 + 0.2 * std::sin(kTau * 0.21 * t + ph);
          return s * env * swell * 0.028;
        });
      }
    }
    double root = Freq(chords[c][0] - 12);
    Note(out, c * 8.0, 7.5, 0.0, [=](double t) {
      double env = std::min(1.0, t / 0.25) * std::exp(-t / 3.5);
      return (std::sin(kTau * root * t) + 0.25 * std::sin(kTau * 2 * root * t)) * env * 0.11;
    });
  }
}

void Melody(Buffer& out) {
  struct N {
    double beat;
    int midi;
    double beats;
  };
  const N notes[] = {
      {0, 69, 2},    {2, 66, 1},    {3, 64, 1},    {4, 66, 3},    {8, 71, 2},    {10, 69, 1},   {11, 66, 1},
      {12, 64, 3},   {16, 62, 1},   {17, 66, 1},   {18, 71, 2},   {20, 69, 3},   {24, 69, 1.5}, {25.5, 71, 0.5},
      {26, 69, 1},   {27, 64, 4},   {32, 73, 2},   {34, 71, 1},   {35, 69, 1},   {36, 66, 3},   {40, 67, 2},
      {42, 71, 1},   {43, 74, 1},   {44, 71, 3},   {48, 69, 2},   {50, 66, 1},   {51, 69, 1},   {52, 74, 2},
      {54, 71, 2},   {56, 69, 3},   {60, 73, 1.5}, {61.5, 71, 0.5}, {62, 76, 1.5},
  };
  for (const N& n : notes) {
    double f = Freq(n.midi);
    double hold = n.beats * kBeat / kMusicRate;
    Note(out, n.beat, hold + 2.5, 0.15, [=](double t) {
      double env = std::min(1.0, t / 0.05) * std::exp(-t / (0.6 + hold * 0.5));
      double vib = 0.0025 * std::min(1.0, t / 0.6) * std::sin(kTau * 4.6 * t);
      double ph = kTau * f * t * (1 + vib);
      return (std::sin(ph) + 0.22 * std::sin(2 * ph) + 0.08 * std::sin(3 * ph + 0.4)) * env * 0.12;
    });
    // A quiet echo an octave down keeps the line soft.
    Note(out, n.beat + 0.5, hold + 1.5, -0.4, [=](double t) {
      double env = std::min(1.0, t / 0.08) * std::exp(-t / (0.8 + hold * 0.4));
      return std::sin(kTau * f * 0.5 * t) * env * 0.035;
    });
  }
}

void Water(Buffer& out, std::uint32_t seed) {
  Rng rng(seed);
  for (int ch = 0; ch < 2; ++ch) {
    std::vector<double>& dst = ch == 0 ? out.l : out.r;
    std::vector<double> noise(kN);
    for (auto& v : noise) v = rng.Uniform() * 2 - 1;
    // Band-pass by two one-pole filters; two passes round the loop settle them.
    double lo = 0, lo2 = 0;
    std::vector<double> band(kN);
    for (int pass = 0; pass < 2; ++pass)
      for (std::size_t i = 0; i < kN; ++i) {
        lo += 0.12 * (noise[i] - lo);
        lo2 += 0.012 * (noise[i] - lo2);
        band[i] = lo - lo2;
      }
    for (std::size_t i = 0; i < kN; ++i) {
      double t = static_cast<double>(i) / kN;
      // Lapping: whole numbers of swells per loop.
      double lap = std::pow(0.5 + 0.5 * std::sin(kTau * 24 * t + ch * 1.3), 3.0) * 0.7 +
                   std::pow(0.5 + 0.5 * std::sin(kTau * 17 * t + 2.1 + ch), 4.0) * 0.5;
      dst[i] += band[i] * (0.05 + 0.16 * lap);
    }
  }
}

void Birds(Buffer& out, std::uint32_t seed) {
  Rng rng(seed);
  const double calls[] = {5.5, 13.0, 22.5, 29.0, 38.5, 47.0, 55.5};
  for (double beat : calls) {
    int chirps = rng.Int(2, 4);
    double pan = rng.Range(-0.8f, 0.8f), f0 = rng.Range(2600, 3300);
    for (int c = 0; c < chirps; ++c) {
      double fc = f0 * (1 + 0.05 * c);
      Note(out, beat + c * 0.22, 0.12, pan, [=](double t) {
        double env = std::sin(std::min(1.0, t / 0.1) * kTau / 2);
        double f = fc * (1.0 - 1.8 * t);
        return std::sin(kTau * f * t + 2.0 * std::sin(kTau * 38 * t)) * env * env * 0.03;
      });
    }
  }
}

// Small Schroeder reverb run twice round the loop, so its tail at the end of
// the clip is already present at the start.
void Reverb(Buffer& buf) {
  const int combLen[2][4] = {{1116 / 4, 1277 / 4, 1422 / 4, 1557 / 4}, {1139 / 4, 1300 / 4, 1445 / 4, 1580 / 4}};
  for (int ch = 0; ch < 2; ++ch) {
    std::vector<double>& x = ch == 0 ? buf.l : buf.r;
    std::vector<std::vector<double>> comb(4);
    for (int c = 0; c < 4; ++c) comb[c].assign(static_cast<std::size_t>(combLen[ch][c] * 4), 0.0);
    std::array<std::size_t, 4> pos{};
    std::array<double, 4> damp{};
    std::vector<double> ap1(225, 0.0), ap2(341, 0.0);
    std::size_t p1 = 0, p2 = 0;
    std::vector<double> wet(kN);
    for (int pass = 0; pass < 2; ++pass)
      for (std::size_t i = 0; i < kN; ++i) {
        double in = x[i] * 0.25, s = 0;
        for (int c = 0; c < 4; ++c) {
          double y = comb[c][pos[c]];
          damp[c] = y * 0.6 + damp[c] * 0.4;
          comb[c][pos[c]] = in + damp[c] * 0.84;
          pos[c] = (pos[c] + 1) % comb[c].size();
          s += y;
        }
        double b = ap1[p1];
        ap1[p1] = s + b * 0.5;
        s = b - s * 0.5;
        p1 = (p1 + 1) % ap1.size();
        b = ap2[p2];
        ap2[p2] = s + b * 0.5;
        s = b - s * 0.5;
        p2 = (p2 + 1) % ap2.size();
        wet[i] = s;
      }
    for (std::size_t i = 0; i < kN; ++i) x[i] = x[i] * 0.72 + wet[i] * 0.55;
  }
}

}  // namespace

std::vector<float> SynthesiseMusic(std::uint32_t seed) {
  Buffer buf;
  Pads(buf);
  Melody(buf);
  Birds(buf, seed + 2);
  Reverb(buf);
  Water(buf, seed + 1);
  double peak = 1e-9;
  for (std::size_t i = 0; i < kN; ++i) peak = std::max({peak, std::fabs(buf.l[i]), std::fabs(buf.r[i])});
  std::vector<float> out(kN * 2);
  for (std::size_t i = 0; i < kN; ++i) {
    out[2 * i] = static_cast<float>(std::tanh(buf.l[i] / peak * 0.75 * 1.1) / 1.1);
    out[2 * i + 1] = static_cast<float>(std::tanh(buf.r[i] / peak * 0.75 * 1.1) / 1.1);
  }
  return out;
}

namespace {
const int kCoef[7][2] = {{256, 0}, {512, -256}, {0, 0}, {192, 64}, {240, 0}, {460, -208}, {392, -232}};
const int kAdapt[16] = {230, 230, 230, 230, 307, 409, 512, 614, 768, 614, 512, 409, 307, 230, 230, 230};
constexpr int kBlockAlign = 512, kBlockFrames = 500;

struct ChannelState {
  int pred = 0, delta = 16, s1 = 0, s2 = 0;
};

// Encodes samples 2..count-1 of one channel; returns nibbles and squared error.
double EncodeChannel(const std::int16_t* x, int stride, int count, ChannelState st, std::vector<std::uint8_t>* nibbles) {
  double err = 0;
  for (int i = 2; i < count; ++i) {
    int predicted = (st.s1 * kCoef[st.pred][0] + st.s2 * kCoef[st.pred][1]) >> 8;
    int want = x[i * stride];
    int nib = static_cast<int>(std::lround(static_cast<double>(want - predicted) / st.delta));
    nib = std::clamp(nib, -8, 7);
    int got = std::clamp(predicted + nib * st.delta, -32768, 32767);
    err += static_cast<double>(got - want) * (got - want);
    if (nibbles) nibbles->push_back(static_cast<std::uint8_t>(nib & 0xF));
    st.s2 = st.s1;
    st.s1 = got;
    st.delta = std::max(16, (kAdapt[nib & 0xF] * st.delta) >> 8);
  }
  return err;
}

void Put16(std::vector<std::uint8_t>& v, int x) {
  v.push_back(static_cast<std::uint8_t>(x & 0xFF));
  v.push_back(static_cast<std::uint8_t>((x >> 8) & 0xFF));
}
void Put32(std::vector<std::uint8_t>& v, std::uint32_t x) {
  Put16(v, static_cast<int>(x & 0xFFFF));
  Put16(v, static_cast<int>(x >> 16));
}
}  // namespace

std::vector<std::uint8_t> EncodeMsAdpcmWav(const std::vector<float>& stereo) {
  const std::size_t frames = stereo.size() / 2;
  const std::size_t blocks = (frames + kBlockFrames - 1) / kBlockFrames;
  // The last block is filled from the start of the clip, so a player that
  // ignores the frame count still hears the loop continue.
  std::vector<std::int16_t> pcm(blocks * kBlockFrames * 2);
  for (std::size_t i = 0; i < pcm.size(); ++i) {
    float v = stereo[i % stereo.size()];
    pcm[i] = static_cast<std::int16_t>(std::lround(std::clamp(v, -1.f, 1.f) * 32767.f));
  }
  std::vector<std::uint8_t> data;
  for (std::size_t b = 0; b < blocks; ++b) {
    const std::int16_t* x = &pcm[b * kBlockFrames * 2];
    ChannelState best[2];
    for (int ch = 0; ch < 2; ++ch) {
      double bestErr = -1;
      for (int p = 0; p < 7; ++p)
        for (int d : {16, 48, 128, 320, 768}) {
          ChannelState st{p, d, x[2 + ch], x[ch]};
          double e = EncodeChannel(x + ch, 2, kBlockFrames, st, nullptr);
          if (bestErr < 0 || e < bestErr) bestErr = e, best[ch] = st;
        }
    }
    std::vector<std::uint8_t> nib[2];
    for (int ch = 0; ch < 2; ++ch) EncodeChannel(x + ch, 2, kBlockFrames, best[ch], &nib[ch]);
    data.push_back(static_cast<std::uint8_t>(best[0].pred));
    data.push_back(static_cast<std::uint8_t>(best[1].pred));
    Put16(data, best[0].delta);
    Put16(data, best[1].delta);
    Put16(data, best[0].s1);  // second sample of the block
    Put16(data, best[1].s1);
    Put16(data, best[0].s2);  // first sample of the block
    Put16(data, best[1].s2);
    for (std::size_t i = 0; i < nib[0].size(); ++i) data.push_back(static_cast<std::uint8_t>(nib[0][i] << 4 | nib[1][i]));
  }
  std::vector<std::uint8_t> wav;
  auto tag = [&wav](const char* t) {
    for (int i = 0; i < 4; ++i) wav.push_back(static_cast<std::uint8_t>(t[i]));
  };
  const std::uint32_t fmtSize = 50;
  tag("RIFF");
  Put32(wav, static_cast<std::uint32_t>(4 + 8 + fmtSize + 12 + 8 + data.size()));
  tag("WAVE");
  tag("fmt ");
  Put32(wav, fmtSize);
  Put16(wav, 2);  // Microsoft ADPCM
  Put16(wav, 2);
  Put32(wav, kMusicRate);
  Put32(wav, static_cast<std::uint32_t>(kMusicRate * kBlockAlign / kBlockFrames));
  Put16(wav, kBlockAlign);
  Put16(wav, 4);
  Put16(wav, 32);
  Put16(wav, kBlockFrames);
  Put16(wav, 7);
  for (auto& c : kCoef) Put16(wav, c[0]), Put16(wav, c[1]);
  tag("fact");
  Put32(wav, 4);
  Put32(wav, static_cast<std::uint32_t>(frames));
  tag("data");
  Put32(wav, static_cast<std::uint32_t>(data.size()));
  wav.insert(wav.end(), data.begin(), data.end());
  return wav;
}

}  // namespace art
