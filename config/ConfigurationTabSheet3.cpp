// The "RSS News" page: the news feed's address, typed in or chosen from the
// maker's feed directory (categories, then the feeds of one). The requests run
// on the dialog's own HTTP client, one at a time, while the dialog's messages
// keep flowing.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

#include "config/Configuration.h"
#include "config/DialogControls.h"
#include "config/MakerSite.h"
#include "config/TTabSheet.h"
#include "framework/TApplication.h"
#include "online/FeedText.h"
#include "online/THttpClient.h"

namespace config {

namespace {

const char* const kNewsNote =
    "NOTE: If you already have the URL of a RSS feed, you can  type it in the \"URL News\" field. Or you can "
    "choose  any Title News from Category. Direct Internet access is required.";
const char* const kPleaseWait = "Please wait...";
const char* const kNotAvailable = "Not Available";
const char* const kUserDefined = "User Defined";
// The identifier of "User Defined": the typed address, nothing to fetch.
const char* const kUserDefinedId = "0";
constexpr int kDirectoryTimeOut = 5000;  // ms, as the feed requests wait

void SetItems(QComboBox* combo, const std::string& only) {
  combo->clear();
  combo->addItem(FromBytes(only));
  combo->setCurrentIndex(0);
}

// Whether the body's first "<" is followed by the root name and a blank. The
// segment is the one every later cut of the same reply writes into.
bool HasRoot(const std::string& body, const std::string& root, std::string& segment) {
  online::ParseBetween(body, "<", " ", segment);
  return segment == root;
}

// Every "<item>" of a valid reply: its two fields, each searched from the
// item's start, go to the visible and the hidden list. A missing field keeps
// the segment's last text, so it repeats the value cut before it.
void AddItems(std::string body, std::string& segment, const char* field1, const char* field2, QComboBox* shown,
              TListBox& hidden) {
  std::string item;
  for (;;) {
    body = online::ParseBetween(body, "<item>", "</item>", item);
    if (body == "FIN") return;
    online::ParseBetween(item, std::string("<") + field1 + ">", std::string("</") + field1 + ">", segment);
    shown->addItem(FromBytes(segment));
    online::ParseBetween(item, std::string("<") + field2 + ">", std::string("</") + field2 + ">", segment);
    hidden.Add(segment);
  }
}

}  // namespace

void TForm2::CreateTabSheet3Controls() {
  QWidget* page = TabSheet3;
  HttpClient1 = new online::THttpClient(this);

  Label17 = NewLabel(page, 158, 30, "Setup RSS news channel:", VerdanaFont(13, true), kBlack);
  Label18 = NewLabel(page, 71, 57, "Current Title of News:", VerdanaFont(13), kBlack);
  QFont titleFont = SansSerifFont(11);
  titleFont.setBold(true);
  StaticText3 = NewStaticText(page, 71, 72, 345, 30, "Not Available  ", titleFont, kFormColor);
  Label19 = NewLabel(page, 71, 104, "URL News:", VerdanaFont(13), kBlack);
  UrlNews = NewEdit(page, 71, 123, 345, 21);
  Label20 = NewLabel(page, 71, 156, "Category:", VerdanaFont(13), kBlack);
  ComboBox1Category = NewComboBox(page, 71, 174, 345, 16);
  Label21 = NewLabel(page, 71, 208, "Title News:", VerdanaFont(13), kBlack);
  ComboBox2TitleNews = NewComboBox(page, 71, 225, 345, 16);
  StaticText4 = NewStaticText(page, 70, 260, 347, 51, QString::fromLatin1(kNewsNote), SansSerifFont(11), kBlack);

  // Any change of the address, typed or set here, is the pending one.
  QObject::connect(UrlNews, &QLineEdit::textChanged, UrlNews,
                   [this](const QString&) { RunHandler([this] { UrlNewsChange(this); }); });
  QObject::connect(ComboBox1Category, &QComboBox::activated, ComboBox1Category,
                   [this](int) { RunHandler([this] { ComboBox1CategoryChange(this); }); });
  QObject::connect(ComboBox2TitleNews, &QComboBox::activated, ComboBox2TitleNews,
                   [this](int) { RunHandler([this] { ComboBox2TitleNewsChange(this); }); });
  TabSheet3->OnShow = [this](framework::TObject* sender) { RunHandler([&] { TabSheet3Show(sender); }); };
}

void TForm2::SetUrlNews(const std::string& bytes) {
  FUrlNewsBytes = bytes;
  UrlNews->setText(FromBytes(bytes));
}

namespace {
// Sets a flag for as long as a scope runs, also when it raises.
class FlagScope {
 public:
  explicit FlagScope(bool& flag) : FFlag(flag) { FFlag = true; }
  ~FlagScope() { FFlag = false; }
  FlagScope(const FlagScope&) = delete;
  FlagScope& operator=(const FlagScope&) = delete;

 private:
  bool& FFlag;
};
}  // namespace

bool TForm2::ClientGet(const std::string& url) {
  if (Closed()) return false;
  FlagScope running(FRequestRunning);
  HttpClient1->Get(url);
  return !Closed();
}

void TForm2::TabSheet3Show(framework::TObject*) {
  SetUrlNews(PendingRSS_Url.value_or(std::string()));
  // The loading waits for the network, so it runs just after the page has
  // come into view: while the page control is changing pages it paints
  // nothing. Shown again before or while the loading runs: that one goes on.
  if (!NewsTabFirstShow || FLoadingDirectory || FLoadPosted) return;
  FLoadPosted = true;
  QMetaObject::invokeMethod(
      TabSheet3,
      [this] {
        FLoadPosted = false;
        if (Closed() || !NewsTabFirstShow) return;
        RunHandler([this] {
          LoadNewsDirectory();
          NewsTabFirstShow = false;
        });
      },
      Qt::QueuedConnection);
}

void TForm2::LoadNewsDirectory() {
  FlagScope loading(FLoadingDirectory);
  StaticText3->setText(kPleaseWait);
  SetItems(ComboBox1Category, kPleaseWait);
  FCategoryShown = 0;

  HttpClient1->SetTimeOut(kDirectoryTimeOut);
  HttpClient1->SetInputFileMode(false);
  HttpClient1->SetOutputFileMode(false);
  HttpClient1->SetReportLevel(2);
  // The values loaded with the dialog, not the edits; once set they stay for
  // every later request of this dialog. The port is converted first, so a bad
  // one leaves the client without a half-set proxy.
  if (CheckBox1Proxy->isChecked()) {
    const int port = framework::StrToInt(LoadedPort);
    HttpClient1->SetProxy(LoadedProxy);
    HttpClient1->SetProxyPort(port);
  }

  // The current feed's channel title. Only socket failures are caught: an
  // address the client rejects ends the loading, to be tried at the next showing.
  std::string title;
  try {
    if (!ClientGet(PendingRSS_Url.value_or(std::string()))) return;
    const std::string& body = HttpClient1->GetBody();
    std::string declaration, root;
    online::ParseBetween(body, "<?", " ", declaration);
    online::ParseBetween(body, "<", " ", root);
    if (declaration == "xml" || root == "rss")
      online::ParseBetween(body, "<title>", "</title>", title);
    else
      title = kNotAvailable;
  } catch (const online::ESockError&) {
    if (Closed()) return;
    title = kNotAvailable;
    HttpClient1->Disconnect();
    HttpClient1->Abort();
  }
  StaticText3->setText(FromBytes(online::DecodeEntities(online::CleanFeedText(title))));

  // The lone "Please wait..." stands for the typed address until the
  // categories arrive; painted before the next wait.
  ListBox1IdCategory.Clear();
  ListBox1IdCategory.Add(kUserDefinedId);
  if (framework::Application) framework::Application->ProcessMessages();

  LoadDirectoryList(kCategoryListPath, "categories", "category", "id", ComboBox1Category, ListBox1IdCategory,
                    kUserDefined);
}

bool TForm2::LoadDirectoryList(const std::string& path, const char* root, const char* nameField, const char* valueField,
                               QComboBox* shown, TListBox& hidden, const char* leading) {
  try {
    if (!ClientGet(kMakerSite + path)) return false;
    shown->clear();
    if (leading) SetItems(shown, leading);
    std::string segment;
    if (HasRoot(HttpClient1->GetBody(), root, segment))
      AddItems(HttpClient1->GetBody(), segment, nameField, valueField, shown, hidden);
  } catch (const online::ESockError&) {
    if (Closed()) return false;
    HttpClient1->Disconnect();
    HttpClient1->Abort();
  }
  return true;
}

void TForm2::ComboBox1CategoryChange(framework::TObject*) {
  if (FRequestRunning) {
    // One request at a time: the choice is undone and the running one goes on,
    // so the lists never show one category's feeds under another's name.
    ComboBox1Category->setCurrentIndex(FCategoryShown);
    return;
  }
  // An entry without an identifier (the categories never arrived) is the typed address too.
  const std::string id = ListBox1IdCategory.At(ComboBox1Category->currentIndex()).value_or(kUserDefinedId);
  FCategoryShown = ComboBox1Category->currentIndex();
  ComboBox2TitleNews->clear();
  ListBox1NewsUrl.Clear();
  if (id != kUserDefinedId) {
    SetItems(ComboBox2TitleNews, kPleaseWait);
    if (!LoadDirectoryList(kFeedListPath + id, "rsslist", "title", "url", ComboBox2TitleNews, ListBox1NewsUrl, nullptr))
      return;
    ComboBox2TitleNews->setCurrentIndex(0);
    StaticText3->setText(ComboBox2TitleNews->currentText());
    if (const auto url = ListBox1NewsUrl.At(ComboBox2TitleNews->currentIndex())) SetUrlNews(*url);
  }
  PendingRSS_Url = TextOf(UrlNews, FUrlNewsBytes);
}

void TForm2::ComboBox2TitleNewsChange(framework::TObject*) {
  StaticText3->setText(ComboBox2TitleNews->currentText());
  // "Please wait..." of a list that never arrived has no address.
  if (const auto url = ListBox1NewsUrl.At(ComboBox2TitleNews->currentIndex())) SetUrlNews(*url);
  PendingRSS_Url = TextOf(UrlNews, FUrlNewsBytes);
}

void TForm2::UrlNewsChange(framework::TObject*) { PendingRSS_Url = TextOf(UrlNews, FUrlNewsBytes); }

}  // namespace config
