#include "vostrel_batch/options.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <set>
#include <thread>

#include "ip/gates.h"

namespace {

template <class T>
bool ReadWhole(const std::string& text, T& value) {
  auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  return !text.empty() && result.ec == std::errc() && result.ptr == text.data() + text.size();
}

std::string Refusal(const std::string& takes, const std::string& text) {
  return "takes " + takes + ", not '" + text + "'";
}

// 50 or 50,16.7: each above 0 up to 1000 Hz; empty when a frequency is not.
std::vector<double> ReadFrequencies(const std::string& text) {
  std::vector<double> frequencies;
  std::string item;
  for (size_t i = 0; i <= text.size(); ++i) {
    if (i < text.size() && text[i] != ',') {
      item.push_back(text[i]);
      continue;
    }
    double hz = 0;
    if (!ReadWhole(item, hz) || !(hz > 0 && hz <= 1000)) return {};
    frequencies.push_back(hz);
    item.clear();
  }
  return frequencies;
}

constexpr const char* MainsTakes = "frequencies in Hz above 0 up to 1000, written 50 or 50,16.7 (0: no hum removal)";

}  // namespace

CLI::Validator RealNumber(const std::string& takes, std::function<bool(double)> within) {
  return CLI::Validator(
      [takes, within](std::string& text) {
        double value = 0;
        if (ReadWhole(text, value) && std::isfinite(value) && (!within || within(value))) return std::string();
        return Refusal(takes, text);
      },
      "", "");
}

CLI::Validator WholeNumber(const std::string& takes, std::function<bool(int64_t)> within) {
  return CLI::Validator(
      [takes, within](std::string& text) {
        int64_t value = 0;
        if (ReadWhole(text, value) && (!within || within(value))) return std::string();
        return Refusal(takes, text);
      },
      "", "");
}

CLI::Option* AddFlag(CLI::App& app, const std::string& name, bool& value, const std::string& help) {
  return app.add_flag(name, value, help)->multi_option_policy(CLI::MultiOptionPolicy::Throw);
}

CLI::Option* AddChoice(CLI::App& app, const std::string& name, std::string& value,
                       const std::vector<std::string>& names, const std::string& help) {
  std::string listed, said;
  for (size_t i = 0; i < names.size(); ++i) {
    listed += (i ? "|" : "") + names[i];
    said += (i == 0 ? "" : i + 1 == names.size() ? " or " : ", ") + names[i];
  }
  CLI::Validator one_of(
      [names, said](std::string& text) {
        for (const std::string& name : names)
          if (text == name) return std::string();
        return Refusal(said, text);
      },
      "", "");
  return app.add_option(name, value, help)->check(one_of)->type_name(listed);
}

void AddRecordOptions(CLI::App& app, RecordOptions& options, bool abs_du) {
  AddFlag(app, "--flip-sign", options.flip_sign, "turn the sign of dU (the window's \"Перевернуть dU\")");
  if (abs_du) AddFlag(app, "--abs-du", options.abs_du, "show dU as its magnitude (the window's \"Модуль dU\")");
}

void AddJobs(CLI::App& app, int& jobs) {
  jobs = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  app.add_option("-j", jobs, "files done at once, 1 to 256 (default: the number of cores)")
      ->type_name("N")
      ->check(WholeNumber("a number of files from 1 to 256", [](int64_t n) { return n >= 1 && n <= 256; }));
}

void AddQuiet(CLI::App& app, bool& quiet) {
  AddFlag(app, "-q,--quiet", quiet, "no progress on the terminal and no timings");
}

void AddJson(CLI::App& app, bool& json) { AddFlag(app, "--json", json, "one JSON document instead of the text"); }

CLI::Option* AddGates(CLI::App& app, std::string& gates) {
  CLI::Validator form(
      [](std::string& text) {
        try {
          ReadGateList(text);
          return std::string();
        } catch (const std::invalid_argument& error) {
          return std::string(error.what());
        }
      },
      "", "");
  return app.add_option("--gates", gates, "chargeability gates in ms after the switch-off (default: log-spaced)")
      ->type_name("T1:T2,...")
      ->check(form);
}

void AddDecay(CLI::App& app, bool& decay, std::string& ip_error) {
  AddFlag(app, "--decay", decay,
          "every gate of every record with its ±, and each decay's fit (tau, c, misfit); csv: the long table "
          "NAME.decay.csv");
  AddChoice(app, "--ip-error", ip_error, {"stack", "decay"},
            "the chargeability's error: the stack's ± or the decay fit's data error (default: stack)");
}

CLI::Option* AddOutDir(CLI::App& app, std::string& folder, const std::string& help) {
  return app.add_option("--out-dir", folder, help)
      ->type_name("DIR")
      ->check(CLI::Validator(
          [](std::string& text) {
            std::error_code error;
            return std::filesystem::is_directory(text, error) ? std::string()
                                                              : "takes a folder that exists, not '" + text + "'";
          },
          "", ""));
}

CLI::Option* AddMains(CLI::App& app, std::string& mains) {
  CLI::Validator frequencies(
      [](std::string& text) {
        if (text == "0" || !ReadFrequencies(text).empty()) return std::string();
        return Refusal(MainsTakes, text);
      },
      "", "");
  return app.add_option("--mains", mains, "hum removed near these frequencies (default: 50,60,16.7; 0: none)")
      ->type_name("HZ,...")
      ->check(frequencies);
}

std::vector<const CLI::Option*> DeclaredOptions(const CLI::App& app) {
  std::vector<const CLI::Option*> options = app.get_options();
  for (const CLI::App* group : app.get_subcommands([](const CLI::App* sub) { return sub->get_name().empty(); }))
    for (const CLI::Option* option : group->get_options()) options.push_back(option);
  return options;
}

std::string OptionTakenForAFile(const CLI::App& app, const std::vector<std::string>& words) {
  const auto end = std::find(words.begin(), words.end(), "--");
  const std::set<std::string> after_end(end == words.end() ? end : end + 1, words.end());
  for (const CLI::Option* option : DeclaredOptions(app)) {
    if (!option->get_positional() || option->get_name().find('.') == std::string::npos) continue;
    for (const std::string& value : option->results())
      if (value.size() > 1 && value[0] == '-' && !after_end.contains(value))
        return "unknown option '" + value + "' (a file whose name begins with '-' is given after --)";
  }
  return {};
}

std::string UnknownOption(const CLI::App& app, const std::vector<std::string>& words) {
  const std::vector<const CLI::Option*> options = DeclaredOptions(app);
  auto known = [&](const std::string& name) {
    return std::any_of(options.begin(), options.end(),
                       [&](const CLI::Option* option) { return option->check_name(name); });
  };
  for (const std::string& word : words) {
    if (word == "--") break;
    // A negative number is a value ("--max-error -5", "ip FILE -1").
    if (word.size() < 2 || word[0] != '-' || std::isdigit(static_cast<unsigned char>(word[1])) || word[1] == '.')
      continue;
    const std::string name = word.substr(0, word.find('='));
    // "-j4": a short option with its value.
    if (known(name) || (word[1] != '-' && known(word.substr(0, 2)))) continue;
    return "unknown option '" + word + "'" +
           (word[1] != '-' && word.find('.') != std::string::npos
                ? " (a file whose name begins with '-' is given after --)"
                : "");
  }
  return {};
}
