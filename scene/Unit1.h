// TForm1: the scene form, shown full screen in run mode. It owns the engine
// Wss1 and configures it exactly as the lake scene runs it.
#pragma once

#include <cstdint>

#include "components/Wss.h"
#include "framework/TForm.h"

namespace scene {

class TForm1 : public framework::TForm {
 public:
  explicit TForm1(framework::TComponent* AOwner);
  std::string ClassName() const override { return "TForm1"; }

  components::TWss* Wss1 = nullptr;

  void FormCreate(framework::TObject* Sender);
  void Wss1Timer(framework::TObject* Sender);
  void FormKeyPress(framework::TObject* Sender, char& Key);
  // Ends the saver in the order the engine needs: timer, display, form.
  void EndSaver();

 private:
  bool FEnding = false;
};

extern TForm1* Form1;

}  // namespace scene
