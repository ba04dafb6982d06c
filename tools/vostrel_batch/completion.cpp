// The bash completion, written from the commands' declaration: the commands, each
// command's options, the values of an option that takes one of a few, folders for a
// folder and files of the kinds its arguments name (FILE.qmr, LINE.vln).

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cctype>
#include <sstream>

#include "vostrel_batch/command_line.h"

namespace {

std::string Quoted(const std::string& text) { return "'" + text + "'"; }

// An argument's kinds of file from its name: "FILE.qmr" → "qmr", "FILE.qmr|LINE.vln" →
// "qmr vln", "FILE.qmr[@OFFSET]" → "qmr"; "OUT.png|svg|pdf", whose kinds are not each
// named as a file, → "".
std::string Extensions(const std::string& name) {
  std::string extensions, alternative;
  for (size_t i = 0; i <= name.size(); ++i) {
    if (i < name.size() && name[i] != '|') {
      alternative.push_back(name[i]);
      continue;
    }
    const size_t dot = alternative.find('.');
    if (dot == std::string::npos) return "";
    const std::string extension = alternative.substr(dot + 1);
    extensions += (extensions.empty() ? "" : " ") +
                  extension.substr(0, extension.find_first_not_of("abcdefghijklmnopqrstuvwxyz"));
    alternative.clear();
  }
  return extensions;
}

// The case of one command: its options, and what each option's value completes to.
std::string CommandCase(const CommandDeclaration& command) {
  const DeclaredCommand declared = Declare(command);
  std::string options = "--help", values, files;
  for (const CLI::Option* option : DeclaredOptions(*declared.app)) {
    if (option->get_positional()) {
      // Every argument's kinds: a word completes to any file the command takes.
      std::istringstream kinds(Extensions(option->get_name()));
      for (std::string kind; kinds >> kind;)
        if ((" " + files + " ").find(" " + kind + " ") == std::string::npos) files += (files.empty() ? "" : " ") + kind;
      continue;
    }
    const std::string name = option->get_name(false, true);
    if (name == "--help,-h" || name == "-h,--help") continue;
    for (const std::string& each : option->get_lnames()) options += " --" + each;
    for (const std::string& each : option->get_snames()) options += " -" + each;
    if (option->get_expected_min() == 0) continue;
    const std::string type = option->get_type_name();
    std::string completion = "COMPREPLY=()";
    if (type.find('|') != std::string::npos && type.find('.') == std::string::npos &&
        type.find(':') == std::string::npos) {
      // The words to type ("off" of "P|off"), not the placeholders in capitals.
      std::string words, word;
      for (size_t i = 0; i <= type.size(); ++i) {
        if (i < type.size() && type[i] != '|') {
          word.push_back(type[i]);
          continue;
        }
        if (std::none_of(word.begin(), word.end(), [](unsigned char c) { return std::isupper(c); }))
          words += (words.empty() ? "" : " ") + word;
        word.clear();
      }
      completion = "COMPREPLY=($(compgen -W " + Quoted(words) + " -- \"$cur\"))";
    } else if (type == "DIR") {
      completion = "COMPREPLY=($(compgen -d -- \"$cur\"))";
    }
    for (const std::string& each : option->get_lnames())
      values += "      --" + each + ") " + completion + "; return ;;\n";
    for (const std::string& each : option->get_snames())
      values += "      -" + each + ") " + completion + "; return ;;\n";
  }
  return "    " + Quoted(command.words) + ")\n      options=" + Quoted(options) + "; files=" + Quoted(files) +
         "\n      case \"$prev\" in\n" + values + "      esac ;;\n";
}

}  // namespace

std::string BashCompletion() {
  std::vector<std::string> firsts;  // the first words, each once
  std::string cases, group_cases, groups;
  for (const CommandDeclaration& command : BatchCommands()) {
    const size_t space = command.words.find(' ');
    const std::string first = command.words.substr(0, space);
    if (std::find(firsts.begin(), firsts.end(), first) == firsts.end()) {
      firsts.push_back(first);
      if (space != std::string::npos) {
        groups += (groups.empty() ? "" : " ") + first;
        std::string under;
        for (const CommandDeclaration& other : BatchCommands())
          if (other.words.rfind(first + " ", 0) == 0)
            under += (under.empty() ? "" : " ") + other.words.substr(space + 1);
        group_cases += "    " + Quoted(first) + ") COMPREPLY=($(compgen -W " + Quoted(under + " --help") +
                       " -- \"$cur\")); return ;;\n";
      }
    }
    cases += CommandCase(command);
  }
  std::string commands;
  for (const std::string& first : firsts) commands += first + " ";
  return "# bash completion of vostrel-batch, written by vostrel-batch --bash-completion\n"
         "_vostrel_batch() {\n"
         "  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}\n"
         "  local command=\"\" i\n"
         "  # The command named so far: its first word, and a group's second.\n"
         "  for ((i = 1; i < COMP_CWORD; i++)); do\n"
         "    if [ -n \"$command\" ]; then command=\"$command ${COMP_WORDS[i]}\"; break; fi\n"
         "    command=${COMP_WORDS[i]}\n"
         "    [[ " +
         Quoted(" " + groups + " ") +
         " == *\" $command \"* ]] || break\n"
         "  done\n"
         "  local options=\"\" files=\"\"\n"
         "  case \"$command\" in\n"
         "    '') COMPREPLY=($(compgen -W " +
         Quoted(commands + "help --help --help-all --version --bash-completion") + " -- \"$cur\")); return ;;\n" +
         cases + group_cases +
         "    *) COMPREPLY=(); return ;;\n"
         "  esac\n"
         "  if [[ $cur == -* ]]; then COMPREPLY=($(compgen -W \"$options\" -- \"$cur\")); return; fi\n"
         "  compopt -o filenames 2>/dev/null\n"
         "  if [ -n \"$files\" ]; then\n"
         "    COMPREPLY=($(compgen -d -- \"$cur\"))\n"
         "    local kind\n"
         "    for kind in $files; do\n"
         "      COMPREPLY+=($(compgen -f -X \"!*.$kind\" -- \"$cur\") $(compgen -f -X \"!*.${kind^^}\" -- \"$cur\"))\n"
         "    done\n"
         "  else\n"
         "    COMPREPLY=($(compgen -f -- \"$cur\"))\n"
         "  fi\n"
         "}\n"
         "complete -F _vostrel_batch vostrel-batch\n";
}
