// Message boxes recorded as "caption|text" instead of shown, for one test.
#pragma once

#include <string>
#include <vector>

#include "platform/MessageBox.h"

namespace testing_support {

struct RecordedBoxes {
  std::vector<std::string> shown;
  RecordedBoxes() {
    platform::SetMessageBoxHandler(
        [this](platform::WindowId, const std::string& text, const std::string& caption, unsigned) {
          shown.push_back(caption + "|" + text);
          return platform::IDOK;
        });
  }
  ~RecordedBoxes() { platform::SetMessageBoxHandler(nullptr); }
  RecordedBoxes(const RecordedBoxes&) = delete;
  RecordedBoxes& operator=(const RecordedBoxes&) = delete;
};

}  // namespace testing_support
