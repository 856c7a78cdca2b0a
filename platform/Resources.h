// Resources embedded in the program, looked up by name without regard to case.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace platform {

// The bytes of the named resource, or nothing when there is none.
std::optional<std::span<const std::uint8_t>> FindResource(std::string_view name);

// Lets the memory pages of a resource no longer being read go; they are read
// from the program's file again when next used.
void ReleaseResource(std::string_view name);

}  // namespace platform
