#include "platform/Termination.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

namespace platform {

namespace {
// Taken at start: by the time a wait begins, the host may be gone already.
const pid_t gParentAtStart = getppid();
}  // namespace

void WaitForTermination() {
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGTERM);
  sigaddset(&stop, SIGINT);
  sigaddset(&stop, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &stop, nullptr);
  // An orphan's host is gone (killed, or the X server with it): no one will stop us.
  while (getppid() == gParentAtStart && gParentAtStart != 1) {
    const timespec second{1, 0};
    if (sigtimedwait(&stop, nullptr, &second) >= 0) return;
    if (errno != EAGAIN && errno != EINTR) return;
  }
}

}  // namespace platform
