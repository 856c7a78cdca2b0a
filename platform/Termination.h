// Waiting for the end a screensaver host gives. A hosted saver that cannot
// draw must not exit on its own: the host would start it again at once, in a
// loop. It waits until it is asked to stop or its host has gone.
#pragma once

namespace platform {

// Returns on SIGTERM, SIGINT or SIGHUP, or when the parent process has ended.
void WaitForTermination();

}  // namespace platform
