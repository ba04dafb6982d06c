#include "vostrel_batch/platform_signals.h"

#include <csignal>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "output/atomic_text_file.h"
#include "vostrel_batch/file_runner.h"

namespace {

extern "C" void StopAfterRemovingUnfinishedFiles(int signal_number) {
  RemoveUnfinishedFiles();
  // The shell's prompt on a line of its own, after the progress line the stop left.
  if (ProgressLineOpen()) {
    [[maybe_unused]] const auto written = write(2, "\n", 1);
  }
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
