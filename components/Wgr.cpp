#include "components/Wgr.h"

namespace components {

TWGR::TWGR(TComponent* AOwner) : TWIM(AOwner) {}

}  // namespace components
