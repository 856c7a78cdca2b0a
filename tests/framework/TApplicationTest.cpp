#include "framework/TApplication.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

#include "platform/MessageBox.h"
#include "support/HeadlessEnvironment.h"
#include "support/RecordedBoxes.h"

namespace {

using framework::TComponent;
using framework::TForm;
using testing_support::HeadlessEnvironment;

using Boxes = testing_support::RecordedBoxes;

class Counted : public TComponent {
 public:
  Counted(TComponent* owner, std::vector<std::string>* log, std::string name)
      : TComponent(owner), log_(log), name_(std::move(name)) {}
  ~Counted() override { log_->push_back(name_); }
  std::string ClassName() const override { return "Counted"; }

 private:
  std::vector<std::string>* log_;
  std::string name_;
};

TEST(TComponent, OwnerKeepsCreationOrderAndDestroysWhatItOwns) {
  std::vector<std::string> destroyed;
  auto* root = new TComponent(nullptr);
  auto* a = new Counted(root, &destroyed, "a");
  auto* b = new Counted(root, &destroyed, "b");
  new Counted(a, &destroyed, "a.child");
  ASSERT_EQ(root->ComponentCount(), 2);
  EXPECT_EQ(root->Components(0), a);
  EXPECT_EQ(root->Components(1), b);
  EXPECT_EQ(a->Owner(), root);
  EXPECT_EQ(a->ClassName(), "Counted");
  delete b;  // leaves its owner's list
  EXPECT_EQ(root->ComponentCount(), 1);
  delete root;
  // Each destructor body runs before its owned components go.
  EXPECT_EQ(destroyed, (std::vector<std::string>{"b", "a", "a.child"}));
}

TEST(TControl, ParentAndBounds) {
  TComponent owner(nullptr);
  auto* panel = new framework::TPanel(&owner);
  auto* child = new framework::TPanel(&owner);
  child->SetParent(panel);
  EXPECT_EQ(panel->ControlCount(), 1);
  child->SetBounds(1, 2, 3, 4);
  EXPECT_EQ(child->Left() + child->Top() + child->Width() + child->Height(), 10);
  child->SetParent(nullptr);
  EXPECT_EQ(panel->ControlCount(), 0);
  EXPECT_EQ(panel->ClassName(), "TPanel");
}

TEST(StrToInt, AcceptsSignedDecimalAndRaisesTheConversionError) {
  EXPECT_EQ(framework::StrToInt("1234"), 1234);
  EXPECT_EQ(framework::StrToInt("-7"), -7);
  EXPECT_EQ(framework::StrToInt(" 42"), 42);
  for (const char* bad : {"", "12a", "0x10", "99999999999", " "}) {
    try {
      framework::StrToInt(bad);
      ADD_FAILURE() << bad;
    } catch (const framework::EConvertError& e) {
      EXPECT_EQ(e.Message(), std::string("'") + bad + "' is not a valid integer value");
    }
  }
}

TEST(TApplication, FirstFormIsMainAndClosingItEndsTheLoop) {
  HeadlessEnvironment env;
  TForm* first = nullptr;
  TForm* second = nullptr;
  env.app->CreateForm(&first);
  env.app->CreateForm(&second);
  EXPECT_EQ(env.app->MainForm(), first);
  int keys = 0;
  first->OnKeyDown = [&](framework::TObject*, std::uint16_t& key, framework::TShiftState) {
    if (key == 113) ++keys;
  };
  first->OnKeyPress = [&](framework::TObject*, char& key) {
    if (key == 27) first->Close();
  };
  const platform::WindowId id = first->Handle();
  env.gui->Post({platform::GuiEvent::Type::KeyDown, id, 113});
  second->Close();  // not the main form: the loop goes on
  EXPECT_FALSE(env.app->Terminated());
  env.gui->Post({platform::GuiEvent::Type::KeyPress, id, 27});
  env.app->Run();
  EXPECT_EQ(keys, 1);
  EXPECT_TRUE(env.app->Terminated());
  platform::HeadlessGui::Window window;
  ASSERT_TRUE(env.gui->Find(id, &window));
  EXPECT_FALSE(window.visible);
}

TEST(TApplication, ExceptionsInHandlersAreShownAndTheLoopGoesOn) {
  HeadlessEnvironment env;
  Boxes boxes;
  TForm* form = nullptr;
  env.app->CreateForm(&form);
  env.app->Title = "Saver";
  int presses = 0;
  form->OnKeyPress = [&](framework::TObject*, char&) {
    if (++presses == 1) throw framework::Exception("first press failed");
    form->Close();
  };
  env.gui->Post({platform::GuiEvent::Type::KeyPress, form->Handle(), 'x'});
  env.gui->Post({platform::GuiEvent::Type::KeyPress, form->Handle(), 'y'});
  env.app->Run();
  EXPECT_EQ(presses, 2);
  EXPECT_EQ(boxes.shown, (std::vector<std::string>{"Saver|first press failed."}));
}

TEST(TApplication, IdleHandlerRunsAgainUntilItSaysDone) {
  HeadlessEnvironment env;
  TForm* form = nullptr;
  env.app->CreateForm(&form);
  int idles = 0;
  env.app->OnIdle = [&](framework::TObject*, bool& done) {
    done = false;  // ask to be called again at once
    if (++idles == 50) form->Close();
  };
  env.app->Run();
  EXPECT_EQ(idles, 50);
}

TEST(TApplication, SynchronizeRunsOnTheGuiThreadAndCarriesExceptionsBack) {
  HeadlessEnvironment env;
  std::atomic<bool> onGui{false};
  std::atomic<bool> threw{false};
  std::thread worker([&] {
    env.app->Synchronize([&] { onGui = env.app->OnGuiThread(); });
    try {
      env.app->Synchronize([] { throw framework::Exception("inside"); });
    } catch (const framework::Exception& e) {
      threw = std::string(e.what()) == "inside";
    }
  });
  ASSERT_TRUE(testing_support::WaitFor([&] {
    env.app->ProcessMessages();
    return threw.load();
  }));
  worker.join();
  EXPECT_TRUE(onGui.load());
  EXPECT_GE(env.app->ProcessMessagesCount.load(), 1);
}

TEST(TApplication, ACancelledHandOverIsReleasedWithoutRunning) {
  HeadlessEnvironment env;
  std::atomic<bool> cancel{false};
  std::atomic<int> ran{0};
  std::atomic<int> result{-1};
  std::thread worker([&] { result = env.app->Synchronize([&] { ++ran; }, &cancel) ? 1 : 0; });
  std::this_thread::sleep_for(std::chrono::milliseconds(30));  // the GUI thread is busy elsewhere
  cancel = true;
  env.app->WakeWaiters();
  worker.join();
  EXPECT_EQ(result.load(), 0);
  env.app->ProcessMessages();
  EXPECT_EQ(ran.load(), 0);
}

}  // namespace
