#include "components/Wgw.h"

namespace components {

TWGW::TWGW(TComponent* AOwner) : TWIM(AOwner) {}

}  // namespace components
