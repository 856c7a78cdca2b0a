#include "framework/TForm.h"

#include "framework/TApplication.h"
#include "platform/Gui.h"

namespace framework {

namespace {
platform::WindowOptions OptionsOf(const TForm& form) {
  platform::WindowOptions o;
  o.caption = form.Caption();
  o.left = form.Left();
  o.top = form.Top();
  o.width = form.Width();
  o.height = form.Height();
  o.borderless = form.BorderStyle() == TFormBorderStyle::bsNone;
  o.color = form.Color();
  return o;
}
}  // namespace

TForm::TForm(TComponent* AOwner) : TControl(AOwner) {
  TControl::SetVisible(false);
}

TForm::~TForm() { DestroyNativeWindow(); }

void TForm::SetBorderStyle(TFormBorderStyle style) {
  FBorderStyle = style;
  UpdateNativeWindow();
}

void TForm::SetCaption(const std::string& caption) {
  FCaption = caption;
  UpdateNativeWindow();
}

void TForm::SetColor(TColor color) {
  TControl::SetColor(color);
  UpdateNativeWindow();
}

void TForm::SetBounds(int left, int top, int width, int height) {
  TControl::SetBounds(left, top, width, height);
  UpdateNativeWindow();
}

void TForm::SetVisible(bool visible) {
  TControl::SetVisible(visible);
  if (visible) FClosed = false;
  if (visible || HandleAllocated()) ShowNativeWindow(visible);
}

void TForm::Close() {
  if (OnClose) OnClose(this);
  Hide();
  FClosed = true;
  if (Application && Application->MainForm() == this) Application->Terminate();
}

platform::WindowId TForm::Handle() {
  if (!FHandle) FHandle = CreateNativeWindow();
  return FHandle;
}

void TForm::DoKeyDown(std::uint16_t key, TShiftState shift) {
  if (OnKeyDown) OnKeyDown(this, key, shift);
}

void TForm::DoKeyPress(char key) {
  if (OnKeyPress) OnKeyPress(this, key);
}

void TForm::DoMouseMove(TShiftState shift, int x, int y) {
  if (OnMouseMove) OnMouseMove(this, shift, x, y);
}

platform::WindowId TForm::CreateNativeWindow() {
  auto gui = platform::GetGui();
  if (!gui) return 0;
  platform::WindowId id = gui->CreateWindow(OptionsOf(*this));
  if (id && Application) Application->RegisterWindow(id, this);
  return id;
}

void TForm::DestroyNativeWindow() {
  if (!FHandle) return;
  if (Application) Application->UnregisterWindow(FHandle);
  if (auto gui = platform::GetGui()) gui->DestroyWindow(FHandle);
  FHandle = 0;
}

void TForm::UpdateNativeWindow() {
  if (!FHandle) return;
  if (auto gui = platform::GetGui()) gui->SetWindowOptions(FHandle, OptionsOf(*this));
}

void TForm::ShowNativeWindow(bool visible) {
  platform::WindowId id = Handle();
  if (!id) return;
  if (auto gui = platform::GetGui()) gui->ShowWindow(id, visible);
}

}  // namespace framework
