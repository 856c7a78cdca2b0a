// How the library's components fail: the text is kept for the owner to read
// (ErrorResult) and the component's OnError fires with it as sender. Failures
// may be recorded on the frame thread, so the text is guarded.
#pragma once

#include <mutex>
#include <string>

#include "framework/TComponent.h"

namespace components {

class ErrorReport {
 public:
  std::string Text() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return text_;
  }
  void SetText(const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex_);
    text_ = text;
  }
  void Report(const std::string& text, const framework::TNotifyEvent& onError, framework::TObject* sender) {
    SetText(text);
    if (onError) onError(sender);
  }

 private:
  mutable std::mutex mutex_;
  std::string text_;
};

}  // namespace components
