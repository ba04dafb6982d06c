#include "vostrel_batch/command_line.h"

#include <cstdio>
#include <regex>

#include "vostrel_batch/commands.h"
#include "vostrel_batch/options.h"

const std::vector<CommandDeclaration>& BatchCommands() {
  static const std::vector<CommandDeclaration> commands = {
      {"info", "a survey's header values with their units, its records and blocks", DeclareInfo},
      {"synth", "writes a synthetic survey", DeclareSynth},
      {"record", "one record as the window shows it, with K, R and the apparent resistivity", DeclareRecord},
      {"export", "writes each survey's text table or exchange format", DeclareExport},
      {"check", "every record's stacking error and class, and the count of each class", DeclareCheck},
      {"reciprocal", "normal/reciprocal pairs, their errors and the error model", DeclareReciprocal},
      {"ip", "the chargeability of records from their pauses, and of each gate", DeclareIp},
      {"line new", "makes a line's project from its surveys and their offsets", DeclareLineNew},
      {"line add", "adds surveys at the line's end, each at its offset", DeclareLineAdd},
      {"line remove", "takes surveys out of the line with their records excluded by hand", DeclareLineRemove},
      {"line offset", "moves a survey of the line to another offset", DeclareLineOffset},
      {"line topo", "gives the line its topography", DeclareLineTopo},
      {"line exclude", "sets the rules that leave records out, and leaves out records by hand", DeclareLineExclude},
      {"line include", "takes records excluded by hand back", DeclareLineInclude},
      {"line info", "what the line holds and leaves out, and its repeated quadrupoles", DeclareLineInfo},
      {"line export", "writes the line's records that are kept in one exchange file", DeclareLineExport},
      {"section", "the survey view's points as a table, from a survey or a line", DeclareSection},
#ifdef VOSTREL_WITH_PLOT
      {"plot", "draws the window's pictures of a survey or a line without a display", DeclarePlot},
#endif
  };
  return commands;
}

namespace {

constexpr const char* Program = "vostrel-batch";

std::vector<std::string> Split(const std::string& words) {
  std::vector<std::string> split{""};
  for (char c : words) c == ' ' ? split.push_back("") : split.back().push_back(c);
  return split;
}

bool StartsWith(const std::vector<std::string>& words, const std::vector<std::string>& prefix) {
  return words.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), words.begin());
}

// The command the words name: the longest whose words begin them.
const CommandDeclaration* CommandNamed(const std::vector<std::string>& words) {
  const CommandDeclaration* found = nullptr;
  for (const CommandDeclaration& command : BatchCommands())
    if (StartsWith(words, Split(command.words)) && (!found || command.words.size() > found->words.size()))
      found = &command;
  return found;
}

// The commands under a group ("line"), or every command for an empty one.
std::vector<const CommandDeclaration*> CommandsUnder(const std::string& group) {
  std::vector<const CommandDeclaration*> under;
  for (const CommandDeclaration& command : BatchCommands())
    if (group.empty() || command.words.rfind(group + " ", 0) == 0) under.push_back(&command);
  return under;
}

std::string CommandList(const std::vector<const CommandDeclaration*>& commands, size_t skip) {
  std::string list;
  for (const CommandDeclaration* command : commands) {
    std::string name = command->words.substr(skip);
    name.resize(std::max<size_t>(name.size() + 2, 16), ' ');
    list += "  " + name + command->description + "\n";
  }
  return list;
}

// A command's help as a part of the tool's whole help: its usage line as a heading
// ("vostrel-batch info [OPTIONS] FILE.qmr:"), then its description, arguments, options
// and notes indented under it, as help2man takes a sub-section.
std::string CommandPart(const CommandDeclaration& command) {
  const std::string help = Declare(command).app->help();
  std::vector<std::string> lines{""};
  for (char c : help) c == '\n' ? lines.push_back("") : lines.back().push_back(c);
  std::string usage, part;
  for (size_t i = 1; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (line.rfind("Usage: ", 0) == 0)
      usage = line.substr(7);
    else if (line.empty() || line == "Positionals:" || line == "Options:" || line.back() == ':')
      continue;
    else
      part += (line[0] == ' ' ? "" : "  ") + line + "\n";
  }
  return usage + ":\n  " + lines.front() + "\n\n" + part;
}

// The tool's help; with every command's own help when `all`.
std::string ToolHelp(bool all = false) {
  std::string help =
      "Usage: vostrel-batch COMMAND [OPTIONS] ARGUMENTS...\n"
      "  or:  vostrel-batch COMMAND --help\n"
      "The window's processing of whole surveys, without a display.\n\n"
      "Commands:\n" +
      CommandList(CommandsUnder(""), 0);
  if (all)
    for (const CommandDeclaration& command : BatchCommands()) help += "\n" + CommandPart(command);
  return help +
         "\nOptions:\n"
         "  -h,--help         this help\n"
         "  --help-all        the help of every command\n"
         "  --version         the version\n"
         "  --bash-completion the bash completion of every command and option\n\n"
         "Exit codes: 0 done, 1 a file failed (the others are still done), 2 a mistake in the command line.\n";
}

std::string GroupHelp(const std::string& group) {
  return "Usage: vostrel-batch " + group + " COMMAND [OPTIONS] ARGUMENTS...\n\nCommands:\n" +
         CommandList(CommandsUnder(group), group.size() + 1);
}

bool IsGroup(const std::string& word) { return !CommandsUnder(word).empty(); }

void PrintMistake(const std::string& where, const std::string& text, const std::string& help) {
  std::fprintf(stderr, "%s: %s\nRun '%s --help' for its options.\n", where.c_str(), text.c_str(), help.c_str());
}

// CLI11's words for a repeated option or one without its value, in the tool's.
std::string MistakeText(const CLI::ParseError& error) {
  static const std::regex repeated("^(\\S+): At Most \\d+ required but received \\d+$");
  static const std::regex missing("^(\\S+): \\d+ required (\\S+) missing$");
  std::smatch match;
  const std::string text = error.what();
  if (std::regex_match(text, match, repeated)) return match[1].str() + " is given more than once";
  if (std::regex_match(text, match, missing)) return match[1].str() + " needs its value: " + match[2].str();
  return text;
}

int RunCommand(const CommandDeclaration& command, const std::vector<std::string>& words) {
  DeclaredCommand declared = Declare(command);
  const std::string name = std::string(Program) + " " + command.words;
  try {
    declared.app->parse(std::vector<std::string>(words.rbegin(), words.rend()));
  } catch (const CLI::CallForHelp&) {
    std::fputs(declared.app->help().c_str(), stdout);
    return 0;
  } catch (const CLI::ParseError& error) {
    std::string unknown = UnknownOption(*declared.app, words);
    if (unknown.empty()) unknown = OptionTakenForAFile(*declared.app, words);
    PrintMistake(name, unknown.empty() ? MistakeText(error) : unknown, name);
    return 2;
  }
  // A negative number is a value, never a file.
  if (const std::string unknown = OptionTakenForAFile(*declared.app, words); !unknown.empty()) {
    PrintMistake(name, unknown, name);
    return 2;
  }
  try {
    return declared.run(words);
  } catch (const UsageError& error) {
    PrintMistake(name, error.what(), name);
    return 2;
  }
}

}  // namespace

DeclaredCommand Declare(const CommandDeclaration& command) {
  DeclaredCommand declared;
  declared.app = std::make_unique<CLI::App>(command.description, std::string(Program) + " " + command.words);
  declared.app->option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::Throw);
  declared.app->set_help_flag("-h,--help", "this help");
  declared.app->get_formatter()->column_width(26);
  declared.app->get_formatter()->label("REQUIRED", "");
  declared.run = command.declare(*declared.app);
  return declared;
}

int RunBatchTool(const std::vector<std::string>& words) {
  if (words.empty()) {
    std::fputs(ToolHelp().c_str(), stderr);
    return 2;
  }
  const std::string& first = words.front();
  if (first == "-h" || first == "--help") {
    std::fputs(ToolHelp().c_str(), stdout);
    return 0;
  }
  if (first == "--version") {
    std::printf("%s %s\n", Program, VOSTREL_VERSION);
    return 0;
  }
  if (first == "--help-all") {
    std::fputs(ToolHelp(true).c_str(), stdout);
    return 0;
  }
  if (first == "--bash-completion") {
    std::fputs(BashCompletion().c_str(), stdout);
    return 0;
  }
  // help COMMAND: the command's help, as COMMAND --help gives it.
  if (first == "help") {
    if (words.size() == 1) return RunBatchTool({"--help"});
    std::vector<std::string> asked(words.begin() + 1, words.end());
    asked.push_back("--help");
    return RunBatchTool(asked);
  }
  if (const CommandDeclaration* command = CommandNamed(words))
    return RunCommand(*command, std::vector<std::string>(
                                    words.begin() + static_cast<long>(Split(command->words).size()), words.end()));
  if (IsGroup(first)) {
    const bool help = words.size() > 1 && (words[1] == "-h" || words[1] == "--help");
    std::fputs(GroupHelp(first).c_str(), help ? stdout : stderr);
    if (!help)
      std::fprintf(stderr, "%s %s: %s\n", Program, first.c_str(),
                   words.size() > 1 ? ("unknown command '" + words[1] + "'").c_str() : "a command is needed");
    return help ? 0 : 2;
  }
  std::fprintf(stderr, "%s: unknown %s '%s'\nRun '%s --help' for the commands.\n", Program,
               first.starts_with("-") ? "option" : "command", first.c_str(), Program);
  return 2;
}
