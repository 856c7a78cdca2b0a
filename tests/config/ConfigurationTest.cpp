#include "config/Configuration.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QCheckBox>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "components/QtBitmap.h"
#include "components/Whfader.h"
#include "components/Wss.h"
#include "components/Wynbutton.h"
#include "config/TLabel.h"
#include "config/TTabSheet.h"
#include "framework/TApplication.h"
#include "platform/RegFile.h"
#include "platform/Registry.h"
#include "support/Files.h"
#include "support/KnobPicture.h"
#include "support/OpenerStandIn.h"
#include "support/QtApplication.h"
#include "support/QtInput.h"
#include "support/RecordedBoxes.h"
#include "support/TempConfigHome.h"

namespace {

using config::TForm2;
using testing_support::ReadText;
using testing_support::WriteText;

const std::string kSection = "[HKEY_CURRENT_USER\\SOFTWARE\\Tarrowind Software\\Brisvane Screensaver]";
const std::string kKey = "SOFTWARE\\Tarrowind Software\\Brisvane Screensaver";
const std::string kDefaultFeed = "http://news.google.com/news?ned=us&topic=w&output=rss";

// The defaults as the dialog writes them on a first run, in its order.
const std::string kDialogFirstRun = "REGEDIT4\n\n" + kSection +
                                    "\n"
                                    "\"Brightness\"=dword:00000100\n"
                                    "\"SoundVolume\"=dword:000000c8\n"
                                    "\"ShowTime\"=dword:00000000\n"
                                    "\"ShowWeather\"=dword:00000000\n"
                                    "\"ShowNews\"=dword:00000000\n"
                                    "\"ShowBlack\"=dword:00000000\n"
                                    "\"WeatherCode\"=\"20001\"\n"
                                    "\"TDegree\"=\"f\"\n"
                                    "\"RSS_Url\"=\"" +
                                    kDefaultFeed +
                                    "\"\n"
                                    "\"UseProxy\"=dword:00000000\n"
                                    "\"Proxy\"=\"\"\n"
                                    "\"Port\"=\"\"\n";

ino_t Inode(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

std::string Dword(const char* name, unsigned value) {
  char hex[16];
  std::snprintf(hex, sizeof hex, "%08x", value);
  return std::string("\"") + name + "\"=dword:" + hex + "\n";
}
std::string Text(const char* name, const std::string& text) { return std::string("\"") + name + "\"=\"" + text + "\"\n"; }

// A stored key of twelve values; each may be replaced or left out.
struct Stored {
  unsigned brightness = 128, volume = 64, showTime = 1, showWeather = 0, showNews = 1, showBlack = 1, useProxy = 1;
  std::string tDegree = "c", weatherCode = "UKXX0085", rssUrl = "http://feeds.example/world?a=1&b=2";
  std::string proxy = "proxy.example", port = "8080";
  std::string skip;     // a value left out
  std::string mistype;  // a value stored as the other type

  std::string File() const {
    std::string out = "REGEDIT4\n\n" + kSection + "\n";
    auto integer = [&](const char* name, unsigned v) {
      if (skip == name) return;
      out += mistype == name ? Text(name, "x") : Dword(name, v);
    };
    auto text = [&](const char* name, const std::string& v) {
      if (skip == name) return;
      out += mistype == name ? Dword(name, 7) : Text(name, v);
    };
    integer("Brightness", brightness);
    integer("SoundVolume", volume);
    text("TDegree", tDegree);
    text("WeatherCode", weatherCode);
    text("RSS_Url", rssUrl);
    integer("ShowTime", showTime);
    integer("ShowWeather", showWeather);
    integer("ShowNews", showNews);
    integer("ShowBlack", showBlack);
    integer("UseProxy", useProxy);
    text("Proxy", proxy);
    text("Port", port);
    return out;
  }
};

struct DialogTest : ::testing::Test, testing_support::WithQtApplication {
  TempConfigHome home;
  testing_support::RecordedBoxes boxes;
  std::unique_ptr<framework::TApplication> app = std::make_unique<framework::TApplication>();
  TForm2* form = nullptr;

  DialogTest() { app->Title = "Screensaver Configuration"; }
  ~DialogTest() override {
    app.reset();  // destroys the form with its window
  }

  // A fresh start of the configuration mode, for one more case in a test.
  void Restart() {
    app.reset();
    form = nullptr;
    app = std::make_unique<framework::TApplication>();
    app->Title = "Screensaver Configuration";
  }

  void Store(const Stored& stored) { WriteText(home.RegFile(), stored.File()); }
  // Builds the form's window and controls, which loads the settings.
  void Open() {
    app->CreateForm(&form);
    form->Handle();
    ASSERT_NE(form->Window(), nullptr);
  }
  std::string File() const { return ReadText(home.RegFile()); }
  int ReadInteger(const std::string& name) const {
    platform::Registry reg;
    EXPECT_TRUE(reg.OpenKey(kKey, false));
    return reg.ReadInteger(name);
  }
  std::string ReadString(const std::string& name) const {
    platform::Registry reg;
    EXPECT_TRUE(reg.OpenKey(kKey, false));
    return reg.ReadString(name);
  }
  void ClickOK() { testing_support::Click(form->BTOK, {38, 13}); }
  void ClickCancel() { testing_support::Click(form->BTCancel, {38, 13}); }
};

TEST_F(DialogTest, FirstRunWritesTheDefaultsAtOnceAndCancelKeepsThem) {
  Open();
  EXPECT_EQ(File(), kDialogFirstRun);
  EXPECT_EQ(form->FD_BRIGHT->GetValue(), 256);
  EXPECT_EQ(form->FD_SOUND->GetValue(), 200);
  EXPECT_TRUE(form->CheckBox1transp->isChecked());
  for (QCheckBox* box : {form->CheckBox2time, form->CheckBox2weather, form->CheckBox2news, form->CheckBox1Proxy})
    EXPECT_FALSE(box->isChecked()) << box->text().toStdString();
  EXPECT_EQ(form->Edit1ProxyServer->text(), "");
  EXPECT_EQ(form->Edit2Port->text(), "");
  EXPECT_TRUE(boxes.shown.empty());

  const ino_t before = Inode(home.RegFile());
  ClickCancel();
  EXPECT_TRUE(form->Closed());
  EXPECT_TRUE(app->Terminated()) << "closing the only form ends the program";
  EXPECT_EQ(File(), kDialogFirstRun);
  EXPECT_EQ(Inode(home.RegFile()), before) << "Cancel must not rewrite the file";
}

TEST_F(DialogTest, LoadsAnExistingKeyAndOKWritesWhatIsShownAndWhatWasLoaded) {
  Stored stored;
  stored.rssUrl = "http://feeds.example/caf\xE9?x=1";  // not UTF-8: must come back byte for byte
  stored.proxy = "pr\xF6xy.example";
  Store(stored);
  Open();
  EXPECT_EQ(form->FD_BRIGHT->GetValue(), 128);
  EXPECT_EQ(form->FD_SOUND->GetValue(), 64);
  EXPECT_FALSE(form->CheckBox1transp->isChecked()) << "ShowBlack 1: an opaque backdrop";
  EXPECT_TRUE(form->CheckBox2time->isChecked());
  EXPECT_FALSE(form->CheckBox2weather->isChecked());
  EXPECT_TRUE(form->CheckBox2news->isChecked());
  EXPECT_TRUE(form->CheckBox1Proxy->isChecked());
  EXPECT_EQ(form->Edit2Port->text(), "8080");
  EXPECT_EQ(form->LoadedProxy, stored.proxy);
  EXPECT_EQ(form->Edit1ProxyServer->text(), QString::fromUtf8("pr\u00F6xy.example")) << "other bytes show as Windows-1252";
  EXPECT_EQ(form->LoadedPort, "8080");
  EXPECT_TRUE(form->NewsTabFirstShow) << "the RSS News page was never shown";
  EXPECT_TRUE(boxes.shown.empty());

  // The user changes a few things; the Weather and RSS News pages are never visited.
  form->CheckBox2weather->setChecked(true);
  form->CheckBox2time->setChecked(false);
  form->FD_SOUND->SetValue(10);
  form->Edit2Port->selectAll();
  QTest::keyClicks(form->Edit2Port, "abc");
  ClickOK();
  EXPECT_TRUE(form->Closed());
  EXPECT_TRUE(boxes.shown.empty());
  EXPECT_EQ(File(), "REGEDIT4\n\n" + kSection + "\n" + Dword("Brightness", 128) + Dword("SoundVolume", 10) +
                        Text("TDegree", "c") + Text("WeatherCode", "UKXX0085") + Text("RSS_Url", stored.rssUrl) +
                        Dword("ShowTime", 0) + Dword("ShowWeather", 1) + Dword("ShowNews", 1) +
                        Dword("ShowBlack", 1) + Dword("UseProxy", 1) + Text("Proxy", stored.proxy) +
                        Text("Port", "abc"));
}

TEST_F(DialogTest, TransparencyIsTheInverseOfShowBlack) {
  const struct {
    unsigned stored;
    bool checked;
    int saved;
  } cases[] = {{0, true, 0}, {1, false, 1}, {2, true, 0}, {0xFFFFFFFF, true, 0}};
  for (const auto& c : cases) {
    Stored stored;
    stored.showBlack = c.stored;
    Store(stored);
    Open();
    EXPECT_EQ(form->CheckBox1transp->isChecked(), c.checked) << "ShowBlack " << c.stored;
    ClickOK();
    EXPECT_EQ(ReadInteger("ShowBlack"), c.saved) << "ShowBlack " << c.stored;
    Restart();
  }
}

TEST_F(DialogTest, StoredBrightnessPutsTheKnobAtTheTracksEnds) {
  Stored stored;
  stored.brightness = 0;
  stored.volume = 256;
  Store(stored);
  Open();
  const QImage track = components::ResourceImage("FADER_TRACK");
  const QImage knob = components::ResourceImage("FADER_KNOB");
  using testing_support::FaderPicture;
  using testing_support::Grabbed;
  EXPECT_EQ(Grabbed(form->FD_BRIGHT), FaderPicture(track, knob, 0, 3));
  EXPECT_EQ(Grabbed(form->FD_SOUND), FaderPicture(track, knob, 165, 3));
}

TEST_F(DialogTest, EnterAndEscapePressNeitherOKNorCancel) {
  Store(Stored{});
  Open();
  form->Show();
  const std::string before = File();
  const ino_t inode = Inode(home.RegFile());
  for (QWidget* target : std::initializer_list<QWidget*>{form->Window(), form->Edit2Port, form->CheckBox2time,
                                                         form->PageControl1, form->BTOK, form->BTCancel})
    for (int key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape})
      testing_support::SendKey(target, key);
  EXPECT_FALSE(form->Closed());
  EXPECT_TRUE(form->Window()->isVisible());
  EXPECT_FALSE(app->Terminated());
  EXPECT_EQ(File(), before);
  EXPECT_EQ(Inode(home.RegFile()), inode);
}

TEST_F(DialogTest, TheCloseBoxIsCancel) {
  Store(Stored{});
  Open();
  form->Show();
  const std::string before = File();
  const ino_t inode = Inode(home.RegFile());
  form->FD_BRIGHT->SetValue(3);
  EXPECT_TRUE(form->Window()->close());
  EXPECT_TRUE(form->Closed());
  EXPECT_TRUE(app->Terminated());
  EXPECT_EQ(File(), before);
  EXPECT_EQ(Inode(home.RegFile()), inode);
}

// Loading stops at the value that cannot be read; what was not loaded keeps
// its initial state, and OK does not blank the texts that were never loaded.
TEST_F(DialogTest, AMissingOrMistypedValueIsReportedAndStopsLoading) {
  const struct {
    const char* skip;
    const char* mistype;
    const char* box;
    int brightness;  // on the fader after loading
    bool transparency;
  } cases[] = {
      {"ShowTime", "", "Failed to get data for 'ShowTime'.", 128, true},
      {"", "ShowNews", "Invalid data type for 'ShowNews'.", 128, true},
      {"", "SoundVolume", "Invalid data type for 'SoundVolume'.", 256, false},
      {"Brightness", "", "Failed to get data for 'Brightness'.", 256, false},
      {"", "TDegree", "Invalid data type for 'TDegree'.", 128, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.skip) + c.mistype);
    Stored stored;
    stored.showBlack = 0;
    stored.skip = c.skip;
    stored.mistype = c.mistype;
    Store(stored);
    boxes.shown.clear();
    Open();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0], std::string("Screensaver Configuration|") + c.box);
    EXPECT_EQ(form->FD_BRIGHT->GetValue(), c.brightness);
    EXPECT_EQ(form->CheckBox1transp->isChecked(), c.transparency);
    EXPECT_FALSE(form->CheckBox1Proxy->isChecked()) << "loaded after the failing value";
    EXPECT_EQ(form->Edit1ProxyServer->text(), "");
    ClickOK();
    EXPECT_TRUE(form->Closed());
    // Nothing the user could not see is replaced by an empty text.
    EXPECT_EQ(ReadString("WeatherCode"), "UKXX0085");
    EXPECT_EQ(ReadString("RSS_Url"), stored.rssUrl);
    EXPECT_EQ(ReadString("Proxy"), "") << "what the edit showed";
    Restart();
  }
}

TEST_F(DialogTest, WritesThatCannotReachTheFileAreSkippedSilently) {
  // A plain file where the settings folder should be: nothing can be created.
  WriteText(home.Dir() + "/brisvane", "not a folder");
  Open();
  EXPECT_TRUE(boxes.shown.empty());
  EXPECT_EQ(form->FD_SOUND->GetValue(), 200) << "the defaults are shown anyway";
  ClickOK();
  EXPECT_TRUE(form->Closed());
  EXPECT_TRUE(boxes.shown.empty());
}

// The dialog's OK and a running saver write the same key at once: the file
// lock and the atomic replace keep every value of both.
TEST_F(DialogTest, ADialogAndASaverWritingAtOnceLoseNothing) {
  platform::SetRegFileSyncForTesting(false);
  Store(Stored{});
  Open();
  components::TWss saver(nullptr);
  saver.SetBrandName("Tarrowind Software");
  saver.SetSSName("Brisvane Screensaver");
  constexpr int kNames = 8, kRounds = 40;
  std::atomic<bool> saverOk{true};
  std::thread writer([&] {
    for (int round = 0; round < kRounds; ++round)
      for (int k = 0; k < kNames; ++k)
        if (!saver.WriteRKey("Saver" + std::to_string(k), round * 100 + k)) saverOk = false;
  });
  for (int i = 0; i < 15; ++i) {
    form->FD_BRIGHT->SetValue(i);
    form->Edit1ProxyServer->setText(QString::fromStdString("host" + std::to_string(i)));
    form->BTOKClick(form);
  }
  writer.join();
  platform::SetRegFileSyncForTesting(true);
  EXPECT_TRUE(saverOk);
  EXPECT_EQ(ReadInteger("Brightness"), 14);
  EXPECT_EQ(ReadString("Proxy"), "host14");
  EXPECT_EQ(ReadInteger("SoundVolume"), 64);
  EXPECT_EQ(ReadString("WeatherCode"), "UKXX0085");
  for (int k = 0; k < kNames; ++k) EXPECT_EQ(ReadInteger("Saver" + std::to_string(k)), (kRounds - 1) * 100 + k);
  EXPECT_EQ(platform::RegDocument::Parse(File()).UnknownLineCount(), 0u);
}

TEST_F(DialogTest, WindowPagesAndButtonsAreWhereTheFormPutsThem) {
  Open();
  QWidget* window = form->Window();
  EXPECT_EQ(window->windowTitle(), "Screensaver Configuration");
  EXPECT_EQ(window->minimumSize(), QSize(539, 576));
  EXPECT_EQ(window->maximumSize(), QSize(539, 576)) << "a fixed border";
  QTabBar* tabs = form->PageControl1->tabBar();
  ASSERT_EQ(tabs->count(), 4);
  const char* captions[] = {"Configuration", "Weather", "RSS News", "Proxy"};
  config::TTabSheet* sheets[] = {form->TabSheet1, form->TabSheet2, form->TabSheet3, form->TabSheet4};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(tabs->tabText(i), captions[i]);
    EXPECT_EQ(form->PageControl1->widget(i), sheets[i]);
  }
  EXPECT_EQ(form->PageControl1->currentIndex(), 0);
  // Sized by their bitmaps, placed by the form.
  EXPECT_EQ(form->BTCancel->geometry(), QRect(20, 539, 76, 26));
  EXPECT_EQ(form->BTOK->geometry(), QRect(442, 539, 76, 26));
  EXPECT_EQ(form->FD_BRIGHT->geometry(), QRect(200, 13, 199, 24));
  EXPECT_EQ(form->FD_SOUND->geometry(), QRect(201, 61, 199, 24));
  EXPECT_EQ(form->BTOK->focusPolicy(), Qt::NoFocus);
  // Whatever face the machine gives for the names, the pixel sizes hold.
  EXPECT_EQ(QFontInfo(form->Label1->font()).pixelSize(), 13);
  EXPECT_EQ(QFontInfo(form->Label5->font()).pixelSize(), 11);
  EXPECT_TRUE(QFontInfo(form->Label5->font()).underline());
  EXPECT_EQ(QFontInfo(form->Edit2Port->font()).pixelSize(), 11);
  EXPECT_TRUE(QFontInfo(form->Label6->font()).bold());
  EXPECT_EQ(form->GroupBox1->title(), " Gadgets ");
}

TEST_F(DialogTest, APageReportsEachTimeItComesIntoView) {
  Open();
  int shown3 = 0, shown1 = 0;
  form->TabSheet3->OnShow = [&](framework::TObject* sender) {
    EXPECT_EQ(sender, form->TabSheet3);
    ++shown3;
  };
  form->TabSheet1->OnShow = [&](framework::TObject*) { ++shown1; };
  form->Show();
  EXPECT_EQ(shown1, 1) << "the first page, as the dialog opens";
  EXPECT_EQ(shown3, 0);
  form->PageControl1->setCurrentIndex(2);
  form->PageControl1->setCurrentIndex(3);
  form->PageControl1->setCurrentIndex(2);
  EXPECT_EQ(shown3, 2);
}

struct CatalogueTest : ::testing::Test, testing_support::WithQtApplication {
  TempConfigHome home;
  testing_support::OpenerStandIn opener;
  std::unique_ptr<framework::TApplication> app = std::make_unique<framework::TApplication>();
};

TEST_F(CatalogueTest, MoreScreensaversOpensTheCataloguePageAndTheDialogStays) {
  TForm2* form = nullptr;
  app->CreateForm(&form);
  form->Handle();
  EXPECT_EQ(form->Label5->cursor().shape(), Qt::PointingHandCursor);
  testing_support::Click(form->Label5, {5, 5});
  EXPECT_EQ(opener.WaitForOpened(), "http://www.tarrowind.example/screensavers.htm\n");
  EXPECT_FALSE(form->Closed());
}

}  // namespace
