// TWGC: the clock of the bottom strip. A still sprite (the clock panel) with
// the local time drawn over it, hours and minutes in white, a blinking colon
// and a grey AM/PM designator.
#pragma once

#include <string>

#include "components/Wim.h"
#include "platform/DrawingContext.h"

namespace components {

class TWGC : public TWIM {
 public:
  explicit TWGC(TComponent* AOwner);
  std::string ClassName() const override { return "TWGC"; }

  // One frame of the clock, over the panel; on the frame thread.
  void DrawGadgetClock();

  static platform::HFONT MyCreateFont(const std::string& face, int height, platform::HDC dc, int weight);
  // Cuts text from begin ("BEGIN", or a marker that does not occur: the first
  // character) to the first end after it: segment is what lies between, the
  // result what follows. Without the end marker the segment is empty and the
  // result the whole text from the start.
  static std::string Parse1(const std::string& text, const std::string& begin, const std::string& end,
                            std::string& segment);

  // The blink state (frame thread; for tests once frames have stopped).
  int GetBlinkCount() const { return BlinkCount; }
  int GetSecondNow() const { return SecondNow; }
  int GetLastSecond() const { return LastSecond; }

 private:
  int BlinkCount = 0;  // frames since the second last changed
  int SecondNow = 0;
  int LastSecond = 0;
};

}  // namespace components
