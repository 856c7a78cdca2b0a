// TWGC: the clock of the bottom strip. A still sprite (the clock panel) with
// the local time drawn over it, hours and minutes in white, a blinking colon
// and a grey AM/PM designator.
#pragma once

#include <string>

#include "components/Wim.h"

namespace components {

class TWGC : public TWIM {
 public:
  explicit TWGC(TComponent* AOwner);
  std::string ClassName() const override { return "TWGC"; }
};

}  // namespace components
