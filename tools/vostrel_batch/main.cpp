// vostrel-batch: the command-line companion of the window, over the same core.

#include <string>
#include <vector>

#include "vostrel_batch/command_line.h"
#include "vostrel_batch/platform_signals.h"

int main(int argc, char** argv) {
  IgnoreFileSizeLimitSignal();
  return RunBatchTool(std::vector<std::string>(argv + 1, argv + argc));
}
