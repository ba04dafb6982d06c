#include "vostrel_batch/platform_signals.h"

#include <csignal>

void IgnoreFileSizeLimitSignal() {
#ifdef SIGXFSZ
  std::signal(SIGXFSZ, SIG_IGN);
#endif
}
