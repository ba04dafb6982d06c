#include "vostrel_batch/platform_signals.h"

#include <csignal>

#include "output/atomic_text_file.h"

namespace {

extern "C" void StopAfterRemovingUnfinishedFiles(int signal_number) {
  RemoveUnfinishedFiles();
  std::signal(signal_number, SIG_DFL);
  std::raise(signal_number);
}

}  // namespace

void IgnoreFileSizeLimitSignal() {
#ifdef SIGXFSZ
  std::signal(SIGXFSZ, SIG_IGN);
#endif
}

void RemoveUnfinishedFilesOnStop() {
  for (int signal_number : {SIGINT, SIGTERM}) std::signal(signal_number, StopAfterRemovingUnfinishedFiles);
#ifdef SIGHUP
  std::signal(SIGHUP, StopAfterRemovingUnfinishedFiles);
#endif
#ifdef SIGPIPE
  std::signal(SIGPIPE, StopAfterRemovingUnfinishedFiles);
#endif
}
