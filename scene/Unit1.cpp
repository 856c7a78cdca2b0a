#include "scene/Unit1.h"

namespace scene {

TForm1* Form1 = nullptr;

TForm1::TForm1(framework::TComponent* AOwner) : TForm(AOwner) {
  SetCaption("Brisvane Screensaver");
  SetBounds(0, 0, 1024, 768);
  Wss1 = new components::TWss(this);
  Wss1->Name = "Wss1";
  Wss1->SetParent(this);
  Wss1->OnTimer = [this](framework::TObject* s) { Wss1Timer(s); };
  OnKeyPress = [this](framework::TObject* s, char& key) { FormKeyPress(s, key); };
  FormCreate(this);
}

void TForm1::FormCreate(framework::TObject*) {
  Wss1->SetBrandName("Tarrowind Software");
  Wss1->SetSSName("Brisvane Screensaver");
  Wss1->SetRegistry();
  Wss1->SetUseIdle(false);
  Wss1->SetWidthScreen(1024);
  Wss1->SetHeightScreen(768);
  Wss1->SetColorDepth(32);
  Wss1->SetInterval(40);
  Wss1->SetshowFPS(true);
  Wss1->SetEnabled(true);
  Wss1->SetTimerEnabled(true);
}

void TForm1::Wss1Timer(framework::TObject*) {
  // The lake is drawn here; until then the engine's black frame and its frame-rate line show.
}

void TForm1::FormKeyPress(framework::TObject*, char& Key) {
  if (Key == 27) EndSaver();
}

void TForm1::EndSaver() {
  if (FEnding) return;
  FEnding = true;
  Wss1->SetTimerEnabled(false);
  Wss1->SetEnabled(false);
  Close();
}

}  // namespace scene
