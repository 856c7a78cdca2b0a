#include "components/Wgc.h"

namespace components {

TWGC::TWGC(TComponent* AOwner) : TWIM(AOwner) {}

}  // namespace components
