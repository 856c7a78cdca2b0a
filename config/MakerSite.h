// The maker's web site: its catalogue page (opened from the dialog) and its
// feed directory are both served from this one host.
#pragma once

namespace config {

inline constexpr const char* kMakerHost = "www.tarrowind.example";
inline constexpr const char* kMakerSite = "http://www.tarrowind.example";
inline constexpr const char* kCataloguePath = "/screensavers.htm";
// The feed directory: the categories, and the feeds of one category (its
// identifier follows the query key as listed).
inline constexpr const char* kCategoryListPath = "/rssdir/category.php";
inline constexpr const char* kFeedListPath = "/rssdir/rsslist.php?category_id=";

}  // namespace config
