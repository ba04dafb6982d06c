// vostrel-batch: the command-line companion of the window, over the same core.

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "vostrel_batch/command_line.h"
#include "vostrel_batch/platform_signals.h"

int main(int argc, char** argv) {
  IgnoreFileSizeLimitSignal();
  RemoveUnfinishedFilesOnStop();
  const int status = RunBatchTool(std::vector<std::string>(argv + 1, argv + argc));
  // What was printed must have arrived: a report redirected to a full disk is a failure.
  errno = 0;
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    std::fprintf(stderr, "vostrel-batch: standard output: %s\n",
                 errno ? std::strerror(errno) : "not all of it could be written");
    return status == 0 ? 1 : status;
  }
  return status;
}
