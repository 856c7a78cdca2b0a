// The legacy weather feed's condition codes (0..47, 3200 for not available)
// and the mappings from today's services' codes onto them.
#pragma once

#include <string_view>

namespace bridge {

constexpr int kNotAvailableCode = 3200;

// The legacy feed's own text for a code ("Partly Cloudy"); "Not Available" for
// anything outside the table.
std::string_view LegacyConditionText(int code);

// A WMO weather interpretation code as Open-Meteo sends it; night selects the
// night picture where the legacy table has one. Unknown codes give 3200.
int LegacyCodeForWmo(int wmo, bool night);

// A MET Norway symbol code, with or without its _day, _night or _polartwilight
// suffix (twilight counts as night). Unknown symbols give 3200.
int LegacyCodeForMetSymbol(std::string_view symbol);

// Whether a MET Norway symbol code names the night variant.
bool IsMetNightSymbol(std::string_view symbol);

}  // namespace bridge
