#pragma once
// What the commands' options take, declared once with the option: the help says it, and a
// value outside it is refused where it is given, with a message that names the option.

#include <CLI/CLI.hpp>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "line/line_project.h"
#include "processing/record_evaluation.h"

// A mistake in the command line found once it is read (options that do not go
// together): the tool prints it with a pointer to the command's help and exits 2.
struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// A number, whole or not, within what `takes` says ("a percentage of 0 or more");
// never NaN or infinite. A refused value reads "--max-error: takes a percentage of 0 or
// more, not '-5'".
CLI::Validator RealNumber(const std::string& takes, std::function<bool(double)> within = {});
CLI::Validator WholeNumber(const std::string& takes, std::function<bool(int64_t)> within = {});

// A flag; given twice it is refused, as every option is.
CLI::Option* AddFlag(CLI::App& app, const std::string& name, bool& value, const std::string& help);
// An option that takes one of `names`, shown as "a|b|c" in the help and the completion.
CLI::Option* AddChoice(CLI::App& app, const std::string& name, std::string& value,
                       const std::vector<std::string>& names, const std::string& help);
// A positional argument named as the help shows it ("FILE.qmr").
template <class T>
CLI::Option* AddArgument(CLI::App& app, const std::string& name, T& value, const std::string& help) {
  return app.add_option(name, value, help)->required()->type_name("");
}

// --flip-sign and --abs-du, the window's "Перевернуть dU" and "Модуль dU"; without
// abs_du only the first.
void AddRecordOptions(CLI::App& app, RecordOptions& options, bool abs_du = true);
// -j N: files done at once, 1 to 256; the number of cores when not given.
void AddJobs(CLI::App& app, int& jobs);
// --quiet: no progress and no timings.
void AddQuiet(CLI::App& app, bool& quiet);
// --json: one JSON document instead of the text.
void AddJson(CLI::App& app, bool& json);
// --gates T1:T2,...: chargeability gates in ms, their form checked here and the pause
// with each survey.
CLI::Option* AddGates(CLI::App& app, std::string& gates);
// --decay, every gate of every record with each decay's fit, and --ip-error stack|decay,
// the chargeability's error from the stack or from the decay's fit (stack when not given).
void AddDecay(CLI::App& app, bool& decay, std::string& ip_error);
// --out-dir DIR: a folder that exists.
CLI::Option* AddOutDir(CLI::App& app, std::string& folder, const std::string& help);
// --mains HZ,...: the frequencies near which hum is removed from the pauses (0: none).
CLI::Option* AddMains(CLI::App& app, std::string& mains);

// The frequencies of a --mains text are read as a line's project reads its own
// (MainsFrequencies): without one, 50, 60 and 16.7 Hz.

// Every option and argument of a command, those of its option groups ("one of these")
// included; -h and --help too.
std::vector<const CLI::Option*> DeclaredOptions(const CLI::App& app);

// The first word before "--" that is written as an option but is none of the app's
// ("--bogus", "-x.qmr"), told as the mistake: CLI11 would rather say that a file is
// missing. Empty when every such word is an option.
std::string UnknownOption(const CLI::App& app, const std::vector<std::string>& words);
// The word given for a file that begins with '-' (a negative number, "-5") and stands
// before "--": an option mistyped, never a file. Empty when there is none.
std::string OptionTakenForAFile(const CLI::App& app, const std::vector<std::string>& words);
