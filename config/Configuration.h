// TForm2: the configuration dialog. A Qt window with a fixed border, client
// area 539 x 576, built with its controls when the form is first shown (or
// its Handle is asked for): in run mode the form exists hidden, no Qt
// application runs, and it never builds them. FormCreate runs right after the
// controls are built.
//
// The unit is split by page: Configuration.cpp holds the window, the banner,
// the page control with its four pages, the OK and Cancel buttons, loading,
// saving and the registry operations; ConfigurationTabSheetN.cpp builds the
// controls of page N (CreateTabSheetNControls). The Weather (2) and RSS News
// (3) pages come with their own source files the same way.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "config/TListBox.h"
#include "framework/TForm.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QGroupBox;
class QTabWidget;
class QWidget;

namespace components {
class TWHFADER;
class TWynbutton;
}  // namespace components

namespace online {
class THttpClient;
}  // namespace online

namespace config {

class TLabel;
class TTabSheet;

class TForm2 : public framework::TForm {
 public:
  explicit TForm2(framework::TComponent* AOwner);
  ~TForm2() override;
  std::string ClassName() const override { return "TForm2"; }

  static constexpr int kClientWidth = 539;
  static constexpr int kClientHeight = 576;

  // The dialog's window, once built.
  QWidget* Window() const { return FWindow; }

  // --- the form's controls, null until built; owned by the window ---
  QLabel* Image1 = nullptr;
  QLabel* Image2 = nullptr;
  QLabel* Label6 = nullptr;
  TLabel* Label5 = nullptr;
  QLabel* Label12 = nullptr;
  QWidget* Panel1 = nullptr;
  QTabWidget* PageControl1 = nullptr;
  TTabSheet* TabSheet1 = nullptr;  // "Configuration"
  TTabSheet* TabSheet2 = nullptr;  // "Weather"
  TTabSheet* TabSheet3 = nullptr;  // "RSS News"
  TTabSheet* TabSheet4 = nullptr;  // "Proxy"
  components::TWynbutton* BTCancel = nullptr;
  components::TWynbutton* BTOK = nullptr;

  // TabSheet1, "Configuration"
  QLabel* Label1 = nullptr;
  components::TWHFADER* FD_BRIGHT = nullptr;
  QLabel* Label4 = nullptr;
  QLabel* Label2 = nullptr;
  components::TWHFADER* FD_SOUND = nullptr;
  QLabel* Label3 = nullptr;
  QGroupBox* GroupBox1 = nullptr;
  QCheckBox* CheckBox1transp = nullptr;
  QCheckBox* CheckBox2time = nullptr;
  QCheckBox* CheckBox2weather = nullptr;
  QCheckBox* CheckBox2news = nullptr;
  QCheckBox* CheckBox1Proxy = nullptr;
  QLabel* StaticText2 = nullptr;

  // TabSheet2, "Weather"
  QLabel* Label13 = nullptr;
  QLabel* Label14 = nullptr;
  QComboBox* ComboBox1Country = nullptr;
  QLabel* Label15 = nullptr;
  QComboBox* ComboBox1City = nullptr;
  QLabel* Label16 = nullptr;
  QComboBox* ComboBox1Units = nullptr;
  QLabel* StaticText1 = nullptr;
  TListBox ListBox1Code;  // the code of each entry of ComboBox1City

  // TabSheet3, "RSS News"
  QLabel* Label17 = nullptr;
  QLabel* Label18 = nullptr;
  QLabel* StaticText3 = nullptr;
  QLabel* Label19 = nullptr;
  QLineEdit* UrlNews = nullptr;
  QLabel* Label20 = nullptr;
  QComboBox* ComboBox1Category = nullptr;
  QLabel* Label21 = nullptr;
  QComboBox* ComboBox2TitleNews = nullptr;
  QLabel* StaticText4 = nullptr;
  TListBox ListBox1IdCategory;  // the identifier of each entry of ComboBox1Category
  TListBox ListBox1NewsUrl;     // the address of each entry of ComboBox2TitleNews

  // The dialog's own HTTP client, for the RSS News page's requests.
  online::THttpClient* HttpClient1 = nullptr;

  // TabSheet4, "Proxy"
  QLabel* Label22 = nullptr;
  QLabel* Label23 = nullptr;
  QLineEdit* Edit1ProxyServer = nullptr;
  QLabel* Label24 = nullptr;
  QLineEdit* Edit2Port = nullptr;

  // --- event handlers ---
  void FormCreate(framework::TObject* Sender);
  void BTOKClick(framework::TObject* Sender);
  void BTCancelClick(framework::TObject* Sender);
  void Label5Click(framework::TObject* Sender);
  // Weather page (ConfigurationTabSheet2.cpp). Only the user's choice in a
  // list runs its Change handler.
  void TabSheet2Show(framework::TObject* Sender);
  void ComboBox1CountryChange(framework::TObject* Sender);
  void ComboBox1CityChange(framework::TObject* Sender);
  void ComboBox1UnitsChange(framework::TObject* Sender);
  // RSS News page (ConfigurationTabSheet3.cpp). Each request waits with the
  // dialog's messages flowing; a choice that would start a second one meanwhile
  // is refused, and closing the dialog ends the running one.
  void TabSheet3Show(framework::TObject* Sender);
  void LoadNewsDirectory();
  void ComboBox1CategoryChange(framework::TObject* Sender);
  void ComboBox2TitleNewsChange(framework::TObject* Sender);
  void UrlNewsChange(framework::TObject* Sender);

  // Ends a request in progress before the form closes.
  void Close() override;

  // --- the dialog's own registry operations, on the settings store's key ---
  // Reads open the key without creating it and are false when it cannot be
  // opened; a value missing or of another type raises RegistryError. Writes
  // create the key and are false, writing nothing, when it cannot be opened;
  // a value that cannot be stored raises RegistryError.
  bool ReadRKey(const std::string& name, int& value) const;
  bool WriteRKey(const std::string& name, int value) const;
  bool ReadAKey(const std::string& name, std::string& text) const;
  bool WriteAKey(const std::string& name, const std::string& text) const;

  // --- form state ---
  std::string BrandName;
  std::string SSName;
  // Changed only by the Weather and RSS News pages. Empty until loaded: a
  // value that was never loaded (loading stopped at an error first) is not
  // written back, so OK cannot replace a stored one with an empty text.
  std::optional<std::string> PendingWeatherCode;
  std::optional<std::string> PendingTDegree;
  std::optional<std::string> PendingRSS_Url;
  // As read at load; the RSS News page's requests use them.
  std::string LoadedProxy;
  std::string LoadedPort;
  bool NewsTabFirstShow = true;

 protected:
  platform::WindowId CreateNativeWindow() override;
  void DestroyNativeWindow() override;
  void UpdateNativeWindow() override;
  void ShowNativeWindow(bool visible) override;

 private:
  std::string KeyPath() const;
  void CreateMainControls();
  void CreateTabSheet1Controls();  // ConfigurationTabSheet1.cpp
  void CreateTabSheet2Controls();  // ConfigurationTabSheet2.cpp
  int FillCities(std::string_view code);
  void CreateTabSheet3Controls();  // ConfigurationTabSheet3.cpp
  // Sets UrlNews from bytes, which its change then keeps exactly.
  void SetUrlNews(const std::string& bytes);
  // Get on the dialog's client; false, and no request, once the dialog is
  // closed, also when it closed during this one.
  bool ClientGet(const std::string& url);
  // Requests one list of the feed directory (a path on the maker's site) and,
  // when its root is right, adds each item's two fields to the visible and the
  // hidden list, after the visible one's leading entry (if any). A socket
  // failure leaves both lists as they are. False when the dialog closed meanwhile.
  bool LoadDirectoryList(const std::string& path, const char* root, const char* nameField, const char* valueField,
                         QComboBox* shown, TListBox& hidden, const char* leading);
  void CreateTabSheet4Controls();  // ConfigurationTabSheet4.cpp

  QWidget* FWindow = nullptr;
  std::string FUrlNewsBytes;       // what the program last put in UrlNews
  bool FRequestRunning = false;    // a request of the RSS News page waits
  bool FLoadingDirectory = false;  // LoadNewsDirectory runs
  bool FLoadPosted = false;        // it is to run once the page is in view
  int FCategoryShown = 0;          // the category whose feeds the title list holds
};

extern TForm2* Form2;

}  // namespace config
