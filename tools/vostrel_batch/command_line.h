#pragma once
// The batch tool's command line, declared once: each command's words, its one-line
// description and the declaration of its options and arguments. The help, the checks of
// every value, the man page, the shell completion and the test of the README's command
// summary all follow from it; a new command or option is one entry here or one line in
// its command's declaration.

#include <CLI/CLI.hpp>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "vostrel_batch/options.h"

// What a command does once its command line is read, given the words after the
// command's own (which only a command that hands them on looks at): the exit code, 0
// done or 1 a file failed. A mistake found only then is thrown as UsageError.
using CommandRun = std::function<int(const std::vector<std::string>& words)>;

struct CommandDeclaration {
  std::string words;        // "info", "line new"
  std::string description;  // one line
  // Declares the options and arguments on the command's app and returns its run.
  CommandRun (*declare)(CLI::App& app);
};

// Every command, in the order of the help.
const std::vector<CommandDeclaration>& BatchCommands();

struct DeclaredCommand {
  std::unique_ptr<CLI::App> app;  // named "vostrel-batch WORDS"
  CommandRun run;
};
DeclaredCommand Declare(const CommandDeclaration& command);

// The tool as main runs it, with the words after the program's name; prints what the
// command prints and returns the exit code (2 for a mistake in the command line).
int RunBatchTool(const std::vector<std::string>& words);

// The bash completion of every command and option, as the package installs it.
std::string BashCompletion();
