// A configuration dialog opened on a stored key, for the tests of its pages:
// the key is written from a few chosen values, the form is built (which loads
// it) and shown, and pages are brought into view as the user's tab clicks do.
#pragma once

#include <gtest/gtest.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QTabWidget>
#include <memory>
#include <string>
#include <vector>

#include "components/Wynbutton.h"
#include "config/Configuration.h"
#include "framework/TApplication.h"
#include "platform/HeadlessGui.h"
#include "platform/Registry.h"
#include "support/Files.h"
#include "support/QtApplication.h"
#include "support/QtInput.h"
#include "support/RecordedBoxes.h"
#include "support/TempConfigHome.h"

namespace testing_support {

// The window system of the configuration mode as the application's message
// turns see it: Qt's events are handled there, so a request's wait keeps the
// dialog painting and taking clicks.
class QtPumpedGui : public platform::HeadlessGui {
 public:
  bool NextEvent(platform::GuiEvent& event, int timeoutMs) override {
    QCoreApplication::processEvents(QEventLoop::AllEvents, timeoutMs);
    return HeadlessGui::NextEvent(event, 0);
  }
};

struct DialogKey {
  std::string weatherCode = "20001";
  std::string tDegree = "f";
  std::string rssUrl = "http://news.example/world.xml";
  unsigned useProxy = 0;
  std::string proxy;
  std::string port;

  std::string File() const {
    auto text = [](const char* name, const std::string& v) { return std::string("\"") + name + "\"=\"" + v + "\"\n"; };
    char proxyFlag[32];
    std::snprintf(proxyFlag, sizeof proxyFlag, "\"UseProxy\"=dword:%08x\n", useProxy);
    return "REGEDIT4\n\n[HKEY_CURRENT_USER\\SOFTWARE\\Tarrowind Software\\Brisvane Screensaver]\n"
           "\"Brightness\"=dword:00000100\n\"SoundVolume\"=dword:000000c8\n" +
           text("TDegree", tDegree) + text("WeatherCode", weatherCode) + text("RSS_Url", rssUrl) +
           "\"ShowTime\"=dword:00000001\n\"ShowWeather\"=dword:00000001\n\"ShowNews\"=dword:00000001\n"
           "\"ShowBlack\"=dword:00000000\n" +
           proxyFlag + text("Proxy", proxy) + text("Port", port);
  }
};

struct DialogFixture : ::testing::Test, WithQtApplication {
  static constexpr int kWeatherPage = 1;
  static constexpr int kNewsPage = 2;

  TempConfigHome home;
  RecordedBoxes boxes;
  std::unique_ptr<framework::TApplication> app;
  config::TForm2* form = nullptr;

  DialogFixture() {
    platform::SetGui(std::make_shared<QtPumpedGui>());
    NewApplication();
  }
  ~DialogFixture() override {
    app.reset();
    platform::SetGui(nullptr);
  }

  // Writes the key, builds the form and shows it on its first page.
  void Open(const DialogKey& key) {
    WriteText(home.RegFile(), key.File());
    app->CreateForm(&form);
    form->Show();
    ASSERT_NE(form->Window(), nullptr);
  }
  // A fresh start of the configuration mode, for one more case in a test.
  void Restart() {
    app.reset();
    form = nullptr;
    NewApplication();
  }
  // As a click on the page's tab: the page comes into view and what it does
  // next (the RSS News page loads its directory) runs before this returns.
  void ShowPage(int index) {
    form->PageControl1->setCurrentIndex(index);
    QCoreApplication::processEvents();
  }
  void ClickOK() { Click(form->BTOK, {38, 13}); }
  void ClickCancel() { Click(form->BTCancel, {38, 13}); }

  std::string Stored(const std::string& name) const {
    platform::Registry reg;
    EXPECT_TRUE(reg.OpenKey("SOFTWARE\\Tarrowind Software\\Brisvane Screensaver", false));
    return reg.ReadString(name);
  }

 private:
  void NewApplication() {
    app = std::make_unique<framework::TApplication>();
    app->Initialize();
    app->Title = "Screensaver Configuration";
  }
};

// The user's pick of an entry of a drop-down list: the selection moves and the
// list reports it as chosen, as a click in its opened list does.
inline void Choose(QComboBox* combo, int index) {
  combo->setCurrentIndex(index);
  emit combo->activated(index);
}

// A note of the form's width 347 at its place, at least as tall as the form
// has it and tall enough for all of its text.
inline void ExpectWholeNote(const QLabel* note, QPoint at) {
  EXPECT_EQ(note->geometry().topLeft(), at);
  EXPECT_EQ(note->width(), 347);
  EXPECT_GE(note->height(), 51);
  EXPECT_LE(note->heightForWidth(347), note->height()) << "the whole note shows";
}

inline std::string TextOf(const QComboBox* combo, int index) { return combo->itemText(index).toStdString(); }
inline std::string CurrentText(const QComboBox* combo) { return combo->currentText().toStdString(); }
inline std::vector<std::string> Items(const QComboBox* combo) {
  std::vector<std::string> items;
  for (int i = 0; i < combo->count(); ++i) items.push_back(TextOf(combo, i));
  return items;
}

}  // namespace testing_support
