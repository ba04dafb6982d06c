#pragma once

#include <charconv>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <vector>

// A mistake in the command line: the tool prints it with the usage line and exits 2.
struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// The words after the command: flags ("--abs-du"), options with a value ("--seed 7")
// and the plain arguments, in order.
class Arguments {
 public:
  Arguments(std::vector<std::string> words, std::vector<std::string> flags, std::vector<std::string> valued);

  bool Flag(const std::string& name) const;
  int64_t Integer(const std::string& name, int64_t fallback) const;
  double Number(const std::string& name, double fallback) const;
  // The value given to an option, or null when it was not given.
  const std::string* Text(const std::string& name) const { return Value(name); }
  // Every value given to an option that may be repeated, in order.
  std::vector<std::string> All(const std::string& name) const;
  const std::vector<std::string>& Plain() const { return plain_; }

 private:
  const std::string* Value(const std::string& name) const;

  std::vector<std::string> flags_set_;
  std::vector<std::pair<std::string, std::string>> values_;
  std::vector<std::string> plain_;
};

// The whole of text as a T, or a UsageError that names what was expected.
template <class T>
T ParseWhole(const std::string& text, const std::string& what) {
  T value{};
  auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (result.ec != std::errc() || result.ptr != text.data() + text.size() || text.empty())
    throw UsageError(what + (std::is_integral_v<T> ? " takes a whole number" : " takes a number") + ", not '" + text +
                     "'");
  return value;
}

int32_t ParseInt32(const std::string& text, const std::string& what);

// --mains HZ[,HZ...]: the frequencies near which hum is looked for and removed from the
// pauses (0: none); without it, 50, 60 and 16.7 Hz.
std::vector<double> MainsOf(const Arguments& arguments);
