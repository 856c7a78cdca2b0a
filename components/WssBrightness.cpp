// Brightness and master volume. Placeholder until the gamma and mixer
// stand-ins land: no ramp is changed and the mixer is not reached.
#include "components/Wss.h"

namespace components {

void TWss::SetBrightnessEnabled(bool) {}
void TWss::SetRGB(int) {}
void TWss::SetLinearRGB(int, int, int) {}
bool TWss::SetMasterMixVolume(int) { return false; }

}  // namespace components
