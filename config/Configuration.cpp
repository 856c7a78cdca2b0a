#include "config/Configuration.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QScreen>
#include <QTabBar>
#include <QTabWidget>

#include "components/QtBitmap.h"
#include "components/Whfader.h"
#include "components/Wss.h"
#include "components/Wynbutton.h"
#include "config/DialogControls.h"
#include "config/MakerSite.h"
#include "config/TLabel.h"
#include "config/TTabSheet.h"
#include "framework/TApplication.h"
#include "online/THttpClient.h"
#include "platform/Registry.h"
#include "platform/ShellOpen.h"

namespace config {

TForm2* Form2 = nullptr;

namespace {

// The dialog's window: paints the form's colour behind everything (the
// palette stays the standard one, so the page control keeps its own look),
// and its close box is Cancel. Enter and Escape do nothing here.
class ConfigurationWindow : public QWidget {
 public:
  explicit ConfigurationWindow(TForm2* form)
      : QWidget(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                             Qt::WindowCloseButtonHint),
        form_(form) {}

 protected:
  void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), kFormColor); }
  void closeEvent(QCloseEvent* event) override {
    event->accept();
    if (!form_->Closed()) RunHandler([this] { form_->BTCancelClick(form_); });
  }

 private:
  TForm2* form_;
};

int Flag(const QCheckBox* box) { return box->isChecked() ? 1 : 0; }

}  // namespace

TForm2::TForm2(framework::TComponent* AOwner) : TForm(AOwner) {
  SetCaption("Screensaver Configuration");
  SetBorderStyle(framework::TFormBorderStyle::bsDialog);
  SetColor(0x857067);  // RGB(107,112,133) as 0x00BBGGRR
  SetBounds(0, 0, kClientWidth, kClientHeight);
}

TForm2::~TForm2() { DestroyNativeWindow(); }

platform::WindowId TForm2::CreateNativeWindow() {
  if (!QCoreApplication::instance()) return 0;  // no Qt in this mode
  FWindow = new ConfigurationWindow(this);
  FWindow->setWindowTitle(QString::fromLatin1(Caption().c_str()));
  FWindow->setFixedSize(kClientWidth, kClientHeight);
  QPalette palette = FWindow->palette();
  palette.setColor(QPalette::WindowText, kFormTextColor);
  FWindow->setPalette(palette);
  FWindow->setFont(VerdanaFont(13));
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    FWindow->move(area.center() - QPoint(kClientWidth / 2, kClientHeight / 2));
  }
  CreateMainControls();
  // Each page's controls come from the page's own source file.
  CreateTabSheet1Controls();
  CreateTabSheet2Controls();
  CreateTabSheet3Controls();
  CreateTabSheet4Controls();
  RunHandler([this] { FormCreate(this); });
  return reinterpret_cast<platform::WindowId>(FWindow);
}

void TForm2::CreateMainControls() {
  Image1 = new QLabel(FWindow);
  Image1->setPixmap(QPixmap::fromImage(components::ResourceImage("Image1")));
  Image1->move(-1, -1);
  Image1->adjustSize();

  Image2 = new QLabel(FWindow);
  Image2->setPixmap(QPixmap::fromImage(components::BottomLeftKeyed(components::ResourceImage("Image2"))));
  Image2->setGeometry(336, 12, 183, 134);

  Label6 = NewLabel(FWindow, 16, 100, "Brisvane Screensaver", VerdanaFont(16, true), kBannerTextColor);

  Label5 = new TLabel("More screensavers", FWindow);
  Label5->setFont(VerdanaFont(11, false, true));
  SetTextColor(Label5, kBannerTextColor);
  Label5->move(48, 122);
  Label5->adjustSize();
  Label5->setCursor(Qt::PointingHandCursor);
  Label5->OnClick = [this](framework::TObject* sender) { RunHandler([&] { Label5Click(sender); }); };

  Label12 = new QLabel(QString::fromUtf8("\u00A9 Tarrowind Software"), FWindow);
  Label12->setFont(SansSerifFont(11));
  SetTextColor(Label12, kBannerTextColor);
  Label12->setGeometry(198, 543, 179, 13);

  Panel1 = new QWidget(FWindow);
  Panel1->setGeometry(20, 155, 500, 373);
  PageControl1 = new QTabWidget(Panel1);
  PageControl1->setGeometry(0, 0, 500, 373);
  PageControl1->tabBar()->setFont(VerdanaFont(13, true));
  SetTextColor(PageControl1->tabBar(), kFormTextColor);
  struct Page {
    TTabSheet** sheet;
    const char* caption;
  };
  for (const Page& page : {Page{&TabSheet1, "Configuration"}, Page{&TabSheet2, "Weather"},
                           Page{&TabSheet3, "RSS News"}, Page{&TabSheet4, "Proxy"}}) {
    *page.sheet = new TTabSheet;
    PageControl1->addTab(*page.sheet, QString::fromLatin1(page.caption));
  }
  PageControl1->setCurrentIndex(0);

  auto button = [this](int left, const char* up, const char* down) {
    auto* b = new components::TWynbutton(FWindow);
    b->SetGround_off(components::ResourceImage(up));
    b->SetGround_on(components::ResourceImage(down));
    b->move(left, 539);
    return b;
  };
  BTCancel = button(20, "BTCANCEL_UP", "BTCANCEL_DOWN");
  BTCancel->OnClick = [this](framework::TObject* sender) { RunHandler([&] { BTCancelClick(sender); }); };
  BTOK = button(442, "BTOK_UP", "BTOK_DOWN");
  BTOK->OnClick = [this](framework::TObject* sender) { RunHandler([&] { BTOKClick(sender); }); };
}

void TForm2::DestroyNativeWindow() {
  delete FWindow;
  FWindow = nullptr;
}

void TForm2::UpdateNativeWindow() {
  if (FWindow) FWindow->setWindowTitle(QString::fromLatin1(Caption().c_str()));
}

void TForm2::ShowNativeWindow(bool visible) {
  if (visible && !FWindow) Handle();
  if (FWindow) FWindow->setVisible(visible);
}

// --- registry ---

std::string TForm2::KeyPath() const { return "SOFTWARE\\" + BrandName + "\\" + SSName; }

bool TForm2::ReadRKey(const std::string& name, int& value) const {
  platform::Registry registry(platform::KEY_ALL_ACCESS);
  if (!registry.OpenKey(KeyPath(), false)) return false;
  value = registry.ReadInteger(name);
  return true;
}

bool TForm2::WriteRKey(const std::string& name, int value) const {
  platform::Registry registry(platform::KEY_ALL_ACCESS);
  if (!registry.OpenKey(KeyPath(), true)) return false;
  registry.WriteInteger(name, value);
  return true;
}

bool TForm2::ReadAKey(const std::string& name, std::string& text) const {
  platform::Registry registry(platform::KEY_ALL_ACCESS);
  if (!registry.OpenKey(KeyPath(), false)) return false;
  text = registry.ReadString(name);
  return true;
}

bool TForm2::WriteAKey(const std::string& name, const std::string& text) const {
  platform::Registry registry(platform::KEY_ALL_ACCESS);
  if (!registry.OpenKey(KeyPath(), true)) return false;
  registry.WriteString(name, text);
  return true;
}

// --- handlers ---

void TForm2::FormCreate(framework::TObject*) {
  BrandName = "Tarrowind Software";
  SSName = "Brisvane Screensaver";
  int brightness = 0;
  if (ReadRKey("Brightness", brightness)) {
    // A read that throws stops loading here; what is not loaded yet keeps its
    // initial state.
    auto readInteger = [this](const char* name) {
      int value = 0;
      ReadRKey(name, value);
      return value;
    };
    auto readText = [this](const char* name) {
      std::string text;
      ReadAKey(name, text);
      return text;
    };
    const int volume = readInteger("SoundVolume");
    FD_BRIGHT->SetValue(brightness);
    FD_SOUND->SetValue(volume);
    CheckBox1transp->setChecked(readInteger("ShowBlack") != 1);
    CheckBox2time->setChecked(readInteger("ShowTime") != 0);
    CheckBox2weather->setChecked(readInteger("ShowWeather") != 0);
    CheckBox2news->setChecked(readInteger("ShowNews") != 0);
    PendingWeatherCode = readText("WeatherCode");
    PendingTDegree = readText("TDegree");
    PendingRSS_Url = readText("RSS_Url");
    CheckBox1Proxy->setChecked(readInteger("UseProxy") != 0);
    LoadedProxy = readText("Proxy");
    LoadedPort = readText("Port");
  } else {
    // First run: the defaults are written at once, so that Cancel still
    // leaves a complete key.
    FD_BRIGHT->SetValue(components::kDefaultBrightness);
    FD_SOUND->SetValue(components::kDefaultSoundVolume);
    WriteRKey("Brightness", FD_BRIGHT->GetValue());
    WriteRKey("SoundVolume", FD_SOUND->GetValue());
    for (const char* flag : {"ShowTime", "ShowWeather", "ShowNews", "ShowBlack"}) WriteRKey(flag, 0);
    // Not literal assigns: GCC 12 warns falsely (-Wrestrict).
    PendingWeatherCode = std::string(components::kDefaultWeatherCode);
    PendingTDegree = std::string(components::kDefaultTDegree);
    WriteAKey("WeatherCode", *PendingWeatherCode);
    WriteAKey("TDegree", *PendingTDegree);
    PendingRSS_Url = std::string(components::kDefaultRssUrl);
    WriteAKey("RSS_Url", *PendingRSS_Url);
    WriteRKey("UseProxy", 0);
    WriteAKey("Proxy", LoadedProxy);
    WriteAKey("Port", LoadedPort);
    CheckBox2time->setChecked(false);
    CheckBox2weather->setChecked(false);
    CheckBox2news->setChecked(false);
    CheckBox1transp->setChecked(true);
  }
  Edit1ProxyServer->setText(FromBytes(LoadedProxy));
  Edit2Port->setText(FromBytes(LoadedPort));
}

void TForm2::BTOKClick(framework::TObject*) {
  WriteRKey("Brightness", FD_BRIGHT->GetValue());
  WriteRKey("SoundVolume", FD_SOUND->GetValue());
  WriteRKey("ShowTime", Flag(CheckBox2time));
  WriteRKey("ShowWeather", Flag(CheckBox2weather));
  WriteRKey("ShowNews", Flag(CheckBox2news));
  WriteRKey("ShowBlack", CheckBox1transp->isChecked() ? 0 : 1);
  if (PendingWeatherCode) WriteAKey("WeatherCode", *PendingWeatherCode);
  if (PendingTDegree) WriteAKey("TDegree", *PendingTDegree);
  if (PendingRSS_Url) WriteAKey("RSS_Url", *PendingRSS_Url);
  WriteRKey("UseProxy", Flag(CheckBox1Proxy));
  WriteAKey("Proxy", TextOf(Edit1ProxyServer, LoadedProxy));
  WriteAKey("Port", TextOf(Edit2Port, LoadedPort));
  Close();
}

void TForm2::BTCancelClick(framework::TObject*) { Close(); }

void TForm2::Close() {
  // A request waiting under this handler ends at once; the page's handler
  // then starts no other.
  if (HttpClient1) HttpClient1->Abort();
  TForm::Close();
}

void TForm2::Label5Click(framework::TObject*) {
  // No result check: when no browser opens, nothing is reported.
  platform::ShellOpen(std::string(kMakerSite) + kCataloguePath);
}

}  // namespace config
