// plot: runs vostrel-plot, which lies beside the batch tool where the window is built,
// so that the other commands never load the window's libraries. The options are
// checked here first, with the same declaration vostrel-plot reads them with.

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>

#include "vostrel_batch/commands.h"
#include "vostrel_batch/plot_options.h"

CommandRun DeclarePlot(CLI::App& app) {
  auto options = std::make_shared<PlotOptions>();
  DeclarePlotOptions(app, *options);
  return [options](const std::vector<std::string>& words) {
    std::error_code error;
    const auto helper = std::filesystem::read_symlink("/proc/self/exe", error).parent_path() / "vostrel-plot";
    if (error || !std::filesystem::exists(helper)) {
      std::fprintf(stderr, "vostrel-batch plot: vostrel-plot is not installed here\n");
      return 1;
    }
    std::vector<std::string> arguments{helper.string()};
    arguments.insert(arguments.end(), words.begin(), words.end());
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    std::fflush(stdout);
    const pid_t child = fork();
    if (child == 0) {
      execv(argv[0], argv.data());
      _exit(127);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) < 0) {
      std::fprintf(stderr, "vostrel-batch plot: vostrel-plot could not be run\n");
      return 1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
  };
}
