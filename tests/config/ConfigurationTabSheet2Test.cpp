// The Weather page: what it shows for a stored location code and unit, and
// what the user's choices make of them.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QTest>
#include <string>

#include "DialogFixture.h"
#include "config/LocationTables.h"

namespace {

using config::LocationTables;
using testing_support::Choose;
using testing_support::CurrentText;
using testing_support::DialogKey;
using testing_support::TextOf;

constexpr int kAlgeria = 2;
constexpr int kGermany = 76;
constexpr int kUsa = 210;
constexpr int kZambia = 219;

struct WeatherPageTest : testing_support::DialogFixture {
  void OpenOnWeather(const DialogKey& key) {
    Open(key);
    ShowPage(kWeatherPage);
  }
  // Every place of the list with the code kept for it, against the table.
  void ExpectPlacesOf(int country) {
    const LocationTables& tables = LocationTables::Embedded();
    const config::CityRange places = tables.CitiesOf(country);
    ASSERT_EQ(form->ComboBox1City->count(), static_cast<int>(places.Count));
    ASSERT_EQ(form->ListBox1Code.Count(), places.Count);
    for (std::size_t k = 0; k < places.Count; ++k) {
      const config::CityRecord place = tables.City(places.First + k);
      ASSERT_EQ(TextOf(form->ComboBox1City, static_cast<int>(k)), place.Name) << k;
      ASSERT_EQ(form->ListBox1Code.Items()[k], place.Code) << k;
    }
  }
};

TEST_F(WeatherPageTest, ShowsTheStoredLocationAndUnit) {
  const struct {
    const char* code;
    const char* degree;
    int country;        // -1: none selected
    const char* place;  // nullptr: none selected, and the list is empty
    int placeIndex;
    const char* unit;
  } cases[] = {
      {"20001", "f", kUsa, "Washington, DC", -2, "Fahrenheit degrees"},
      // Two towns share it; the later one is shown.
      {"02301", "c", kUsa, "Brockton, MA", -2, "Celsius degrees"},
      {"AFXX0005", "f", 0, "Bost/Laskar", 0, "Fahrenheit degrees"},
      {"UKXX1294", "f", 208, "Abbey", -2, "Fahrenheit degrees"},
      // Unknown codes, and one that differs only in case, select nothing.
      {"", "f", -1, nullptr, -1, "Fahrenheit degrees"},
      {"afxx0005", "f", -1, nullptr, -1, "Fahrenheit degrees"},
      {"ZZXX9999", "f", -1, nullptr, -1, "Fahrenheit degrees"},
      // Only a small c is Celsius.
      {"20001", "C", kUsa, "Washington, DC", -2, "Fahrenheit degrees"},
      {"20001", "", kUsa, "Washington, DC", -2, "Fahrenheit degrees"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.code) + " " + c.degree);
    DialogKey key;
    key.weatherCode = c.code;
    key.tDegree = c.degree;
    OpenOnWeather(key);
    ASSERT_EQ(form->ComboBox1Country->count(), 221);
    EXPECT_EQ(TextOf(form->ComboBox1Country, 0), "Afghanistan");
    EXPECT_EQ(TextOf(form->ComboBox1Country, 220), "Zimbabwe");
    EXPECT_EQ(form->ComboBox1Country->currentIndex(), c.country);
    if (c.place) {
      ExpectPlacesOf(c.country);
      EXPECT_EQ(CurrentText(form->ComboBox1City), c.place);
      if (c.placeIndex >= 0) {
        EXPECT_EQ(form->ComboBox1City->currentIndex(), c.placeIndex);
      }
    } else {
      EXPECT_EQ(form->ComboBox1City->count(), 0);
      EXPECT_EQ(form->ListBox1Code.Count(), 0u);
      EXPECT_EQ(form->ComboBox1City->currentIndex(), -1);
    }
    ASSERT_EQ(form->ComboBox1Units->count(), 2);
    EXPECT_EQ(CurrentText(form->ComboBox1Units), c.unit);
    // Showing the page changed nothing: OK writes back what was loaded.
    ClickOK();
    EXPECT_EQ(Stored("WeatherCode"), c.code);
    EXPECT_EQ(Stored("TDegree"), c.degree);
    Restart();
  }
}

TEST_F(WeatherPageTest, ChoosingACountryListsItsPlacesAndTakesTheFirst) {
  OpenOnWeather({});
  Choose(form->ComboBox1Country, kAlgeria);
  ExpectPlacesOf(kAlgeria);
  EXPECT_EQ(TextOf(form->ComboBox1City, 0), "Adrar");
  EXPECT_EQ(TextOf(form->ComboBox1City, 1), "Algiers");
  EXPECT_EQ(TextOf(form->ComboBox1City, 2), "Amsel");
  EXPECT_EQ(form->ComboBox1City->currentIndex(), 0);
  EXPECT_EQ(form->PendingWeatherCode, "AGXX0034");

  // A country without places empties the list and keeps the code.
  Choose(form->ComboBox1Country, kZambia);
  EXPECT_EQ(form->ComboBox1City->count(), 0);
  EXPECT_EQ(form->ListBox1Code.Count(), 0u);
  EXPECT_EQ(form->PendingWeatherCode, "AGXX0034");

  Choose(form->ComboBox1Country, kGermany);
  ExpectPlacesOf(kGermany);
  EXPECT_EQ(form->ComboBox1City->count(), 6378);
  ClickOK();
  EXPECT_EQ(Stored("WeatherCode"),
            LocationTables::Embedded().City(LocationTables::Embedded().CitiesOf(kGermany).First).Code);
}

TEST_F(WeatherPageTest, ChoosingAPlaceOrAUnitSetsItsValue) {
  OpenOnWeather({});
  Choose(form->ComboBox1City, 1);
  const std::string second(LocationTables::Embedded().City(LocationTables::Embedded().CitiesOf(kUsa).First + 1).Code);
  EXPECT_EQ(form->PendingWeatherCode, second);
  Choose(form->ComboBox1Units, 1);
  EXPECT_EQ(form->PendingTDegree, "c");
  Choose(form->ComboBox1Units, 0);
  EXPECT_EQ(form->PendingTDegree, "f");
  Choose(form->ComboBox1Units, 1);
  ClickOK();
  EXPECT_EQ(Stored("WeatherCode"), second);
  EXPECT_EQ(Stored("TDegree"), "c");
}

// Only the user's choice changes a value: a selection set by the program
// does not, and the keyboard on a closed list is a choice as much as a click.
// A capital C is kept as stored until a unit is picked.
TEST_F(WeatherPageTest, OnlyTheUsersChoiceChangesAValue) {
  DialogKey key;
  key.weatherCode = "unknown";
  key.tDegree = "C";
  OpenOnWeather(key);
  form->ComboBox1Country->setCurrentIndex(kAlgeria);
  form->ComboBox1Units->setCurrentIndex(1);
  EXPECT_EQ(form->PendingWeatherCode, "unknown");
  EXPECT_EQ(form->PendingTDegree, "C");
  EXPECT_EQ(form->ComboBox1City->count(), 0) << "the places follow the user's choice of a country only";

  QTest::keyClick(form->ComboBox1Country, Qt::Key_Down);
  EXPECT_EQ(CurrentText(form->ComboBox1Country), "American Samoa");
  EXPECT_EQ(form->ComboBox1City->count(), static_cast<int>(LocationTables::Embedded().CitiesOf(3).Count));
  EXPECT_EQ(form->PendingWeatherCode, form->ListBox1Code.Items().at(0));
  EXPECT_EQ(form->PendingTDegree, "C");
  QTest::keyClick(form->ComboBox1Units, Qt::Key_Up);
  EXPECT_EQ(form->PendingTDegree, "f");
}

TEST_F(WeatherPageTest, ShowingThePageAgainRebuildsItFromTheValues) {
  OpenOnWeather({});
  Choose(form->ComboBox1Country, kAlgeria);
  Choose(form->ComboBox1City, 1);  // Algiers
  Choose(form->ComboBox1Units, 1);
  ShowPage(0);
  // Disturb what is shown; the next showing must not trust any of it.
  form->ComboBox1Country->setCurrentIndex(kZambia);
  form->ComboBox1City->clear();
  form->ComboBox1Units->setCurrentIndex(0);
  ShowPage(kWeatherPage);
  EXPECT_EQ(form->ComboBox1Country->count(), 221);
  EXPECT_EQ(CurrentText(form->ComboBox1Country), "Algeria");
  ExpectPlacesOf(kAlgeria);
  EXPECT_EQ(CurrentText(form->ComboBox1City), "Algiers");
  EXPECT_EQ(form->PendingWeatherCode, "AGXX0001");
  EXPECT_EQ(CurrentText(form->ComboBox1Units), "Celsius degrees");
}

TEST_F(WeatherPageTest, TheListsArePickOnlyAndTheNoteIsWhole) {
  OpenOnWeather({});
  for (QComboBox* combo : {form->ComboBox1Country, form->ComboBox1City, form->ComboBox1Units})
    EXPECT_FALSE(combo->isEditable());
  testing_support::ExpectWholeNote(form->StaticText1, {73, 245});
  EXPECT_EQ(form->StaticText1->text().toStdString(),
            "NOTE: For viewing Weather Information  you must have direct Internet  access. If you have firewall in "
            "your computer, you must allow access to Internet for this screensaver. Don't be alarmed: this "
            "screensaver does not contain any adware or spyware.");
}

}  // namespace
