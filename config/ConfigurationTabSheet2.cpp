// The "Weather" page: the country, the place and the temperature unit, chosen
// from the built-in location tables. No network access.
#include <QComboBox>
#include <QLabel>
#include <QStringList>

#include "config/Configuration.h"
#include "config/DialogControls.h"
#include "config/LocationTables.h"
#include "config/TTabSheet.h"

namespace config {

namespace {

const char* const kWeatherNote =
    "NOTE: For viewing Weather Information  you must have direct Internet  access. If you have firewall in your "
    "computer, you must allow access to Internet for this screensaver. Don't be alarmed: this screensaver does not "
    "contain any adware or spyware.";

QString Latin1(std::string_view text) { return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())); }

}  // namespace

void TForm2::CreateTabSheet2Controls() {
  QWidget* page = TabSheet2;
  Label13 = NewLabel(page, 143, 34, "Setup weather information:", VerdanaFont(13, true), kBlack);
  Label14 = NewLabel(page, 71, 66, "Select a Country:", VerdanaFont(13), kBlack);
  ComboBox1Country = NewComboBox(page, 71, 85, 345, 13);
  Label15 = NewLabel(page, 71, 121, "Select a City:", VerdanaFont(13), kBlack);
  ComboBox1City = NewComboBox(page, 71, 140, 345, 13);
  Label16 = NewLabel(page, 71, 177, "Units:", VerdanaFont(13), kBlack);
  ComboBox1Units = NewComboBox(page, 71, 196, 345, 13);
  ComboBox1Units->addItems({"Fahrenheit degrees", "Celsius degrees"});
  StaticText1 = NewStaticText(page, 73, 245, 347, 51, QString::fromLatin1(kWeatherNote), SansSerifFont(11), kBlack);

  // activated is the user's choice only; setting a selection from code is silent.
  QObject::connect(ComboBox1Country, &QComboBox::activated, ComboBox1Country,
                   [this](int) { RunHandler([this] { ComboBox1CountryChange(this); }); });
  QObject::connect(ComboBox1City, &QComboBox::activated, ComboBox1City,
                   [this](int) { RunHandler([this] { ComboBox1CityChange(this); }); });
  QObject::connect(ComboBox1Units, &QComboBox::activated, ComboBox1Units,
                   [this](int) { RunHandler([this] { ComboBox1UnitsChange(this); }); });
  TabSheet2->OnShow = [this](framework::TObject* sender) { RunHandler([&] { TabSheet2Show(sender); }); };
}

// Refills the place list and its codes with the places of the selected country;
// the position of the last of them whose code is the given one, or -1.
int TForm2::FillCities(std::string_view code) {
  const LocationTables& tables = LocationTables::Embedded();
  const CityRange places = tables.CitiesOf(ComboBox1Country->currentIndex());
  QStringList names;
  names.reserve(static_cast<qsizetype>(places.Count));
  ListBox1Code.Clear();
  ListBox1Code.Reserve(places.Count);
  int found = -1;
  for (std::size_t i = places.First; i < places.End(); ++i) {
    const CityRecord place = tables.City(i);
    if (place.Code == code) found = static_cast<int>(ListBox1Code.Count());
    names.append(Latin1(place.Name));
    ListBox1Code.Add(std::string(place.Code));
  }
  ComboBox1City->clear();
  ComboBox1City->addItems(names);
  // Adding to an empty list selects its first entry; only the caller chooses.
  ComboBox1City->setCurrentIndex(-1);
  return found;
}

void TForm2::TabSheet2Show(framework::TObject*) {
  const LocationTables& tables = LocationTables::Embedded();
  QStringList countries;
  countries.reserve(static_cast<qsizetype>(tables.CountryCount()));
  for (std::size_t i = 0; i < tables.CountryCount(); ++i) countries.append(Latin1(tables.Country(i).Name));
  ComboBox1Country->clear();
  ComboBox1Country->addItems(countries);

  // The first record with the code names the country; with a code shared by
  // towns of that country, the last of them is the one shown.
  const std::string code = PendingWeatherCode.value_or(std::string());
  const auto first = tables.FindCode(code);
  ComboBox1Country->setCurrentIndex(first ? tables.City(*first).CountryIndex : -1);
  ComboBox1City->setCurrentIndex(FillCities(code));

  ComboBox1Units->setCurrentIndex(PendingTDegree == "c" ? 1 : 0);
}

void TForm2::ComboBox1CountryChange(framework::TObject*) {
  FillCities({});
  // A country without places keeps the code chosen before.
  if (const auto code = ListBox1Code.At(0)) {
    ComboBox1City->setCurrentIndex(0);
    PendingWeatherCode = *code;
  }
}

void TForm2::ComboBox1CityChange(framework::TObject*) {
  if (const auto code = ListBox1Code.At(ComboBox1City->currentIndex())) PendingWeatherCode = *code;
}

void TForm2::ComboBox1UnitsChange(framework::TObject*) {
  PendingTDegree = std::string(ComboBox1Units->currentIndex() == 1 ? "c" : "f");
}

}  // namespace config
