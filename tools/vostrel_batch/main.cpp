// vostrel-batch: the command-line companion of the window, over the same core.

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "vostrel_batch/arguments.h"
#include "vostrel_batch/commands.h"
#include "vostrel_batch/platform_signals.h"

namespace {

struct Command {
  const char* name;
  const char* usage;
  int (*run)(const std::vector<std::string>&);
};

// The whole command set.
constexpr Command Commands[] = {
    {"info", "info FILE.qmr", InfoCommand},
    {"synth",
     "synth [--blocks N] [--channels N] [--electrodes N] [--spacing M] [--wenner] [--sample-rate N] "
     "[--half-period N] [--second-length N] [--periods N] [--current A] [--noise X] [--seed N] [--sparse] "
     "[--layout dipole-dipole|wenner|gradient|pole-dipole] [--rho OHM_M] [--reciprocal] "
     "[--chargeability MV_V] [--tau MS] [--cole-c C] [--sp MV] [--drift MV_S] [--creep MV] [--creep-time S] "
     "[--hum MV] [--hum-hz HZ] [--spikes PER_S] [--spike MV] OUT.qmr",
     SynthCommand},
    {"record", "record [--flip-sign] [--abs-du] FILE.qmr K", RecordCommand},
    {"export",
     "export [--flip-sign] [--abs-du] [--format txt|csv|ohm|res2dinv] [--csv] [--max-error P] [--error-model] "
     "[--ip] [--gates T1:T2,...] [--mains HZ,...] [--out-dir DIR] [-j N] FILE.qmr...",
     ExportCommand},
    {"check", "check [--flip-sign] [--abs-du] [-j N] FILE.qmr...", CheckCommand},
    {"reciprocal", "reciprocal [--flip-sign] [--abs-du] FILE.qmr", ReciprocalCommand},
    {"ip", "ip [--flip-sign] [--gates T1:T2,T2:T3,...] [--mains HZ,...] FILE.qmr K...", IpCommand},
    {"line",
     "line new LINE.vln FILE.qmr[@OFFSET]... [--force] [--flip-sign] [--abs-du] [--gates T1:T2,...] [--mains HZ,...]\n"
     "  vostrel-batch line topo LINE.vln TOPO.txt [--tape]\n"
     "  vostrel-batch line exclude LINE.vln [--max-error P] [--max-reciprocal P] [--negative-rhoa] [--max-k K] "
     "[--m-range LOW:HIGH] [--electrode X]... [--record FILE.qmr:K]...\n"
     "  vostrel-batch line include LINE.vln (--record FILE.qmr:K... | --all-manual)\n"
     "  vostrel-batch line info LINE.vln\n"
     "  vostrel-batch line export LINE.vln --format csv|ohm|res2dinv [--ip] [--gates T1:T2,...]",
     LineCommand},
    {"section", "section [--flip-sign] [--ip] [--gates T1:T2,...] [--mains HZ,...] FILE.qmr|LINE.vln OUT.csv",
     SectionCommand},
#ifdef VOSTREL_WITH_PLOT
    {"plot",
     "plot [--flip-sign] [--abs-du] (--record K | --decay K | --pseudosection rhoa|ip|error|classes) "
     "[--scale auto|LOW:HIGH] [--log|--linear] [--elevation] [--size WIDTHxHEIGHT] FILE.qmr|LINE.vln OUT.png|svg|pdf",
     PlotCommand},
#endif
};

void PrintUsage(std::FILE* out) {
  std::fprintf(out, "usage:\n");
  for (const Command& command : Commands) std::fprintf(out, "  vostrel-batch %s\n", command.usage);
}

}  // namespace

int main(int argc, char** argv) {
  IgnoreFileSizeLimitSignal();
  if (argc < 2) {
    PrintUsage(stderr);
    return 2;
  }
  std::string name = argv[1];
  if (name == "--help" || name == "-h" || name == "help") {
    PrintUsage(stdout);
    return 0;
  }
  for (const Command& command : Commands) {
    if (name != command.name) continue;
    try {
      return command.run(std::vector<std::string>(argv + 2, argv + argc));
    } catch (const UsageError& error) {
      std::fprintf(stderr, "vostrel-batch %s: %s\nusage: vostrel-batch %s\n", command.name, error.what(),
                   command.usage);
      return 2;
    } catch (const std::exception& error) {
      std::fprintf(stderr, "vostrel-batch %s: %s\n", command.name, error.what());
      return 1;
    }
  }
  std::fprintf(stderr, "vostrel-batch: unknown command '%s'\n", name.c_str());
  PrintUsage(stderr);
  return 2;
}
