#include "bridge/LegacyWeatherReply.h"

#include <cmath>
#include <cstdio>

#include "bridge/LegacyWeatherCodes.h"
#include "bridge/OpenMeteoSource.h"

namespace bridge {

std::string WholeDegrees(double value) {
  const long rounded = std::lround(value);
  return std::to_string(rounded);
}

std::string LegacyWeatherReply(std::string_view code, const Coordinates& where, TemperatureUnit unit,
                               const WeatherReport& report, const WeatherCredit& credit) {
  const bool f = unit == TemperatureUnit::Fahrenheit;
  const std::string place = EscapeXml(code);
  const std::string when = LegacyDateTime(report.observed, report.zone);
  const std::string conditionText(LegacyConditionText(report.code));
  const std::string now = WholeDegrees(report.temperature);

  std::string out;
  out.reserve(2048);
  out += "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\" ?>\n"
         "<rss version=\"2.0\" xmlns:yweather=\"http://xml.weather.yahoo.com/ns/rss/1.0\" "
         "xmlns:geo=\"http://www.w3.org/2003/01/geo/wgs84_pos#\">\n<channel>\n";
  out += "<title>Weather - " + place + "</title>\n";
  out += "<link>" + EscapeXml(credit.link) + "</link>\n";
  out += "<description>" + EscapeXml(credit.text) + "</description>\n";
  out += "<language>en-us</language>\n";
  out += "<lastBuildDate>" + when + "</lastBuildDate>\n<ttl>30</ttl>\n";
  out += "<yweather:location city=\"" + place + "\" region=\"\" country=\"\"/>\n";
  out += f ? "<yweather:units temperature=\"F\" distance=\"mi\" pressure=\"in\" speed=\"mph\"/>\n"
           : "<yweather:units temperature=\"C\" distance=\"km\" pressure=\"mb\" speed=\"km/h\"/>\n";
  out += "<item>\n<title>Conditions for " + place + " at " + EscapeXml(LegacyClock(report.observed, report.zone)) + "</title>\n";
  out += "<geo:lat>" + FormatCoordinate(where.latitude) + "</geo:lat>\n";
  out += "<geo:long>" + FormatCoordinate(where.longitude) + "</geo:long>\n";
  out += "<link>" + EscapeXml(credit.link) + "</link>\n";
  out += "<pubDate>" + when + "</pubDate>\n";
  out += "<yweather:condition text=\"" + conditionText + "\" code=\"" + std::to_string(report.code) + "\" temp=\"" +
         now + "\" date=\"" + EscapeXml(when) + "\" />\n";
  // Licence terms ask for the credit beside the data and a note of the changes.
  out += "<description><![CDATA[Current Conditions: " + conditionText + ", " + now + (f ? " F" : " C") +
         "<br />\n" + credit.text + " (" + credit.link +
         "), licensed CC BY 4.0; condition codes and rounding converted by brisvane-bridge.]]></description>\n";
  for (const DailyForecast& d : report.days) {
    out += "<yweather:forecast day=\"" + std::string(WeekdayAbbreviation(d.date)) + "\" date=\"" + LegacyDate(d.date) +
           "\" low=\"" + WholeDegrees(d.low) + "\" high=\"" + WholeDegrees(d.high) + "\" text=\"" +
           std::string(LegacyConditionText(d.code)) + "\" code=\"" + std::to_string(d.code) + "\" />\n";
  }
  char guid[64];
  std::snprintf(guid, sizeof guid, "_%04d_%02d_%02d_%02d_%02d", report.observed.year, report.observed.month,
                report.observed.day, report.observed.hour, report.observed.minute);
  out += "<guid isPermaLink=\"false\">" + place + guid + "</guid>\n</item>\n</channel>\n</rss>\n";
  return out;
}

}  // namespace bridge
