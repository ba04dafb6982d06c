#include "vostrel_batch/arguments.h"

#include <algorithm>
#include <charconv>
#include <limits>

#include "ip/chargeability.h"

namespace {
bool Contains(const std::vector<std::string>& list, const std::string& word) {
  return std::find(list.begin(), list.end(), word) != list.end();
}
}  // namespace

Arguments::Arguments(std::vector<std::string> words, std::vector<std::string> flags, std::vector<std::string> valued) {
  for (size_t i = 0; i < words.size(); ++i) {
    const std::string& word = words[i];
    if (word.rfind("--", 0) != 0 && !Contains(valued, word)) {
      plain_.push_back(word);
    } else if (Contains(flags, word)) {
      flags_set_.push_back(word);
    } else if (Contains(valued, word)) {
      if (i + 1 >= words.size()) throw UsageError(word + " needs a value");
      values_.emplace_back(word, words[++i]);
    } else {
      throw UsageError("unknown option " + word);
    }
  }
}

bool Arguments::Flag(const std::string& name) const { return Contains(flags_set_, name); }

const std::string* Arguments::Value(const std::string& name) const {
  for (auto it = values_.rbegin(); it != values_.rend(); ++it)
    if (it->first == name) return &it->second;
  return nullptr;
}

std::vector<std::string> Arguments::All(const std::string& name) const {
  std::vector<std::string> all;
  for (const auto& [option, value] : values_)
    if (option == name) all.push_back(value);
  return all;
}

int64_t Arguments::Integer(const std::string& name, int64_t fallback) const {
  const std::string* text = Value(name);
  return text ? ParseWhole<int64_t>(*text, name) : fallback;
}

double Arguments::Number(const std::string& name, double fallback) const {
  const std::string* text = Value(name);
  return text ? ParseWhole<double>(*text, name) : fallback;
}

int32_t ParseInt32(const std::string& text, const std::string& what) { return ParseWhole<int32_t>(text, what); }

std::vector<double> MainsOf(const Arguments& arguments) {
  const std::string* text = arguments.Text("--mains");
  if (!text) return PauseCleaning{}.mains_hz;
  if (*text == "0") return {};
  const std::string usage =
      "--mains takes frequencies in Hz above 0 up to 1000, written 50 or 50,16.7 (0: no hum removal)";
  std::vector<double> frequencies;
  std::string item;
  for (size_t i = 0; i <= text->size(); ++i) {
    if (i < text->size() && (*text)[i] != ',') {
      item.push_back((*text)[i]);
      continue;
    }
    double hz = 0;
    auto result = std::from_chars(item.data(), item.data() + item.size(), hz);
    if (item.empty() || result.ec != std::errc() || result.ptr != item.data() + item.size() || !(hz > 0 && hz <= 1000))
      throw UsageError(usage + ", not '" + *text + "'");
    frequencies.push_back(hz);
    item.clear();
  }
  return frequencies;
}
