// The maker's web site: its catalogue page (opened from the dialog) and its
// feed directory are both served from this one host.
#pragma once

namespace config {

inline constexpr const char* kMakerHost = "www.tarrowind.example";
inline constexpr const char* kMakerSite = "http://www.tarrowind.example";
inline constexpr const char* kCataloguePath = "/screensavers.htm";

}  // namespace config
