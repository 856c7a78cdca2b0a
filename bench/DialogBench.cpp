// The Weather page of the configuration dialog with the largest country:
// choosing Germany fills the place list with its 6,378 places and their
// codes; showing the page on a German code fills all three lists and finds the
// place; opening the filled list lays it out. Offscreen Qt, as the tests run.
#include <benchmark/benchmark.h>

#include <QComboBox>
#include <QTabWidget>
#include <memory>
#include <string>

#include "config/Configuration.h"
#include "config/LocationTables.h"
#include "framework/TApplication.h"
#include "support/Files.h"
#include "support/QtApplication.h"
#include "support/TempConfigHome.h"

namespace {

constexpr int kGermany = 76;

struct WeatherPage {
  TempConfigHome home;
  std::unique_ptr<framework::TApplication> app;
  config::TForm2* form = nullptr;

  WeatherPage() {
    testing_support::QtApplication();
    const config::LocationTables& tables = config::LocationTables::Embedded();
    const config::CityRange germany = tables.CitiesOf(kGermany);
    // The last German place: its code is found at the end of the scan.
    const std::string code(tables.City(germany.End() - 1).Code);
    std::string key = "REGEDIT4\n\n[HKEY_CURRENT_USER\\SOFTWARE\\Tarrowind Software\\Brisvane Screensaver]\n";
    for (const char* flag :
         {"Brightness", "SoundVolume", "ShowTime", "ShowWeather", "ShowNews", "ShowBlack", "UseProxy"})
      key += std::string("\"") + flag + "\"=dword:00000000\n";
    key += "\"WeatherCode\"=\"" + code + "\"\n\"TDegree\"=\"c\"\n\"RSS_Url\"=\"\"\n\"Proxy\"=\"\"\n\"Port\"=\"\"\n";
    testing_support::WriteText(home.RegFile(), key);
    app = std::make_unique<framework::TApplication>();
    app->Initialize();
    app->CreateForm(&form);
    form->Show();
    form->PageControl1->setCurrentIndex(1);
    QCoreApplication::processEvents();
  }
};

void BM_ChooseGermany(benchmark::State& state) {
  WeatherPage page;
  for (auto _ : state) {
    page.form->ComboBox1Country->setCurrentIndex(kGermany);
    page.form->ComboBox1CountryChange(page.form);
    benchmark::DoNotOptimize(page.form->ComboBox1City->count());
  }
  state.counters["places"] = page.form->ComboBox1City->count();
}
BENCHMARK(BM_ChooseGermany)->Unit(benchmark::kMillisecond)->Iterations(50);

void BM_ShowPageOnAGermanCode(benchmark::State& state) {
  WeatherPage page;
  for (auto _ : state) {
    page.form->TabSheet2Show(page.form);
    benchmark::DoNotOptimize(page.form->ComboBox1City->currentIndex());
  }
  state.counters["place"] = page.form->ComboBox1City->currentIndex();
}
BENCHMARK(BM_ShowPageOnAGermanCode)->Unit(benchmark::kMillisecond)->Iterations(50);

void BM_OpenGermanPlaceList(benchmark::State& state) {
  WeatherPage page;
  page.form->ComboBox1Country->setCurrentIndex(kGermany);
  page.form->ComboBox1CountryChange(page.form);
  for (auto _ : state) {
    page.form->ComboBox1City->showPopup();
    QCoreApplication::processEvents();
    page.form->ComboBox1City->hidePopup();
    QCoreApplication::processEvents();
  }
}
BENCHMARK(BM_OpenGermanPlaceList)->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace
