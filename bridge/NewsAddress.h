// Addresses of retired feeds that the bridge rewrites to their current form
// before fetching: the old news portal's RSS output (the saver's default feed).
#pragma once

#include <optional>
#include <string>

#include "bridge/Url.h"

namespace bridge {

// The current address for a retired one, or nothing when it is not retired.
std::optional<std::string> CurrentFeedAddress(const Url& url);

}  // namespace bridge
