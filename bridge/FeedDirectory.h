// The feed directory the dialog browses: categories of current public feeds,
// answered in the directory's own two forms. Addresses are listed as http://
// because the saver cannot request https itself; the bridge upgrades them.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "config/MakerSite.h"

namespace bridge {

struct DirectoryFeed {
  std::string_view title;
  std::string_view url;
};

struct DirectoryCategory {
  std::string_view id;
  std::string_view name;
  std::span<const DirectoryFeed> feeds;
};

class FeedDirectory {
 public:
  static constexpr std::string_view kHost = config::kMakerHost;
  static constexpr std::string_view kCategoryPath = "/rssdir/category.php";
  static constexpr std::string_view kFeedListPath = "/rssdir/rsslist.php";

  static std::span<const DirectoryCategory> Categories();
  // The dialog takes every field verbatim (no entity decoding, no CDATA),
  // and wants the root element's name followed by a blank, with nothing
  // before it.
  static std::string CategoryReply();
  // An unknown identifier gives a valid, empty list.
  static std::string FeedListReply(std::string_view categoryId);
};

}  // namespace bridge
