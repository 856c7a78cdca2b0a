#include "components/Wgr.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "GadgetFixture.h"

namespace {

using components::TWGR;
using gadget_test::Rect;
using gadget_test::Reference;

// Where the scene puts the ticker with all three gadgets on.
constexpr int kX = 0, kY = 698;
constexpr int kLineLeft = 15, kLineTop = 728, kWindow = 545;
const platform::RECT kClip{kLineLeft, kLineTop - 20, kLineLeft + kWindow, kLineTop + 20};

// A text of exactly the given width in the ticker's font (the drawing sums
// whole-pixel advances), made of a few letters.
std::string TextOfWidth(int width) {
  Reference ref;
  std::vector<std::string> best(static_cast<std::size_t>(width) + 1);
  std::vector<bool> reached(static_cast<std::size_t>(width) + 1, false);
  reached[0] = true;
  for (int w = 0; w < width; ++w) {
    if (!reached[w]) continue;
    for (const char* letter : {"W", "n", "i", "r", "1"}) {
      const int next = w + ref.Width(letter, 16);
      if (next <= width && !reached[next]) reached[next] = true, best[next] = best[w] + letter;
    }
  }
  if (!reached[width]) ADD_FAILURE() << "no text of width " << width;
  EXPECT_EQ(ref.Width(best[width], 16), width);
  return best[width];
}

struct WgrTest : gadget_test::GadgetFixture {
  TWGR* ticker = nullptr;
  void SetUp() override {
    GadgetFixture::SetUp();
    ticker = Make<TWGR>();
    ticker->SetShowX(kX);
    ticker->SetShowY(kY);
  }
  void Frame() {
    wss->ClearBackSurface();
    ticker->DrawRssNews();
  }
  // The line as it should stand at the given offset, and the title.
  static Reference Expected(const std::string& line, int offset, const std::string& title = "") {
    Reference ref;
    ref.Text(90, 705, title, 16, 0x999999);
    ref.Text(kLineLeft + kWindow - offset, kLineTop, line, 16, gadget_test::kWhite, &kClip);
    return ref;
  }
};

TEST_F(WgrTest, AtStartTheNotAvailableLineCreepsInWithNoTitle) {
  const std::string line = "*** Not Available Now ***";
  EXPECT_EQ(ticker->GetRssLine(), line);
  EXPECT_EQ(ticker->GetNameNews(), "");
  for (int frame = 1; frame <= 120; ++frame) {
    Frame();
    if (frame == 1 || frame == 30 || frame == 120) {
      SCOPED_TRACE(frame);
      EXPECT_EQ(ticker->GetScrollOffset(), 2 * frame);
      EXPECT_EQ(Differing(Expected(line, 2 * frame)), 0);
      EXPECT_EQ(LitIn({0, 698, 1024, kLineTop - 20}), 0);  // no title
    }
  }
  // Two pixels a frame, right to left.
  EXPECT_GT(LitIn({kLineLeft + kWindow - 240, kLineTop, kLineLeft + kWindow, kLineTop + 16}), 100);
  EXPECT_EQ(LitIn({0, 0, kLineLeft + kWindow - 240, 768}), 0);
}

TEST_F(WgrTest, OneCycleRunsFromTheRightEdgeUntilTheEndHasPassedTheLeft) {
  struct Case {
    int width, frames;
  } cases[] = {{300, 423}, {0, 273}, {301, 424}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.width);
    TWGR* fresh = Make<TWGR>();
    fresh->SetRssLine(TextOfWidth(c.width));
    std::vector<int> offsets;
    for (int i = 0; i < 2 * c.frames; ++i) {
      fresh->DrawRssNews();
      offsets.push_back(fresh->GetScrollOffset());
    }
    std::vector<int> cycle;
    for (int o = 2; o <= c.width + kWindow; o += 2) cycle.push_back(o);
    cycle.push_back(0);
    ASSERT_EQ(static_cast<int>(cycle.size()), c.frames);
    std::vector<int> want = cycle;
    want.insert(want.end(), cycle.begin(), cycle.end());
    EXPECT_EQ(offsets, want);
    delete fresh;
  }
}

TEST_F(WgrTest, TitleAndWindowSitWhereTheStripPutsThem) {
  ticker->SetNameNews("World News");
  const std::string line = TextOfWidth(1500);
  ticker->SetRssLine(line);
  for (int i = 0; i < 400; ++i) Frame();  // the line now overhangs both ends of the window
  EXPECT_EQ(Differing(Expected(line, 800, "World News")), 0);
  EXPECT_GT(LitIn({90, 705, 200, 721}), 50);
  EXPECT_GT(LitIn({15, kLineTop, 20, kLineTop + 16}), 0);
  EXPECT_GT(LitIn({555, kLineTop, 560, kLineTop + 16}), 0);
  EXPECT_EQ(LitIn({0, kLineTop - 20, 15, kLineTop + 20}), 0);
  EXPECT_EQ(LitIn({560, kLineTop - 20, 1024, kLineTop + 20}), 0);
  // The title is grey 0x999999, the line white.
  EXPECT_EQ(NotGreyUpTo({0, 700, 1024, kLineTop - 20}, 0x99), 0);
  int white = 0;
  for (int x = 15; x < 560; ++x) white += BackAt(x, kLineTop + 8) == gadget_test::kWhiteXrgb;
  EXPECT_GT(white, 20);
}

TEST_F(WgrTest, ANewLineCarriesOnFromTheOffset) {
  for (int i = 0; i < 100; ++i) ticker->DrawRssNews();
  ASSERT_EQ(ticker->GetScrollOffset(), 200);
  ticker->SetRssLine("Second line of the day");
  ticker->DrawRssNews();
  EXPECT_EQ(ticker->GetScrollOffset(), 202);
  for (int i = 0; i < 200; ++i) ticker->DrawRssNews();
  ASSERT_EQ(ticker->GetScrollOffset(), 602);
  // A shorter text whose end is already past the window starts again at once.
  ticker->SetRssLine("");
  ticker->DrawRssNews();
  EXPECT_EQ(ticker->GetScrollOffset(), 0);
}

TEST_F(WgrTest, WithoutADrawingContextTheLineStandsStill) {
  for (int i = 0; i < 10; ++i) ticker->DrawRssNews();
  env.display->faults().failGetDC = true;
  for (int i = 0; i < 10; ++i) Frame();
  env.display->faults().failGetDC = false;
  EXPECT_EQ(LitBack(), 0);
  EXPECT_EQ(ticker->GetScrollOffset(), 20);
  ticker->DrawRssNews();
  EXPECT_EQ(ticker->GetScrollOffset(), 22);
}

TEST_F(WgrTest, ALineOfTwoHundredItemsIsDrawnWithinAFrame) {
  std::string line;
  for (int i = 0; i < 200; ++i) line += "Item " + std::to_string(i) + ": ministers meet again over the harbour plan  ";
  ticker->SetRssLine(line);
  Reference ref;
  const int width = ref.Width(line, 16);
  ASSERT_GT(width, 50000);
  for (int i = 0; i < 600; ++i) ticker->DrawRssNews();
  const auto start = std::chrono::steady_clock::now();
  Frame();
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(Differing(Expected(line, 1202)), 0);
  // The frame's whole budget, not a measurement: the figures are in the benchmarks.
  EXPECT_LT(took, std::chrono::milliseconds(40));
}

}  // namespace
