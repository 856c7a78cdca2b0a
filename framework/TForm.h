// A top-level window. Closing the application's main form ends its message loop.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "framework/TControl.h"
#include "platform/DDraw.h"

namespace framework {

enum class TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };

using TShiftState = int;  // ssShift 1, ssAlt 2, ssCtrl 4
using TKeyEvent = std::function<void(TObject* Sender, std::uint16_t& Key, TShiftState Shift)>;
using TKeyPressEvent = std::function<void(TObject* Sender, char& Key)>;
using TMouseMoveEvent = std::function<void(TObject* Sender, TShiftState Shift, int X, int Y)>;

class TForm : public TControl {
 public:
  explicit TForm(TComponent* AOwner);
  ~TForm() override;
  std::string ClassName() const override { return "TForm"; }

  TFormBorderStyle BorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TFormBorderStyle style);
  std::string Caption() const { return FCaption; }
  void SetCaption(const std::string& caption);
  void SetColor(TColor color) override;
  void SetBounds(int left, int top, int width, int height) override;
  void SetVisible(bool visible) override;
  // Hides the form; the application's main form also ends the message loop.
  virtual void Close();
  bool Closed() const { return FClosed; }

  // The native window, created on first use (hidden until shown).
  platform::WindowId Handle();
  bool HandleAllocated() const { return FHandle != 0; }

  // Input from the message loop.
  void DoKeyDown(std::uint16_t key, TShiftState shift);
  void DoKeyPress(char key);
  void DoMouseMove(TShiftState shift, int x, int y);

  TNotifyEvent OnClose;
  TKeyEvent OnKeyDown;
  TKeyPressEvent OnKeyPress;
  TMouseMoveEvent OnMouseMove;

 protected:
  // Native window hooks; forms with a window of their own (Qt dialogs) override them.
  virtual platform::WindowId CreateNativeWindow();
  virtual void DestroyNativeWindow();
  virtual void UpdateNativeWindow();
  virtual void ShowNativeWindow(bool visible);

 private:
  TFormBorderStyle FBorderStyle = TFormBorderStyle::bsSizeable;
  std::string FCaption;
  platform::WindowId FHandle = 0;
  bool FClosed = false;
};

}  // namespace framework
