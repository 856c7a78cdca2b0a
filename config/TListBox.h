// A list box the dialog never shows: it keeps, position for position, the
// values that belong to the entries of a visible drop-down list (the codes of
// the places, the identifiers of the categories, the addresses of the feeds),
// so only its items exist.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace config {

class TListBox {
 public:
  void Clear() { FItems.clear(); }
  void Add(std::string item) { FItems.push_back(std::move(item)); }
  void Reserve(std::size_t count) { FItems.reserve(count); }
  std::size_t Count() const { return FItems.size(); }
  // The item at a position of the visible list; none past the end or for no
  // selection (-1).
  std::optional<std::string> At(int index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= FItems.size()) return std::nullopt;
    return FItems[static_cast<std::size_t>(index)];
  }
  const std::vector<std::string>& Items() const { return FItems; }

 private:
  std::vector<std::string> FItems;
};

}  // namespace config
