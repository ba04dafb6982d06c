#include "ip/gates.h"

#include <charconv>
#include <cmath>
#include <stdexcept>

namespace {

double PauseMs(int32_t half_period, int32_t sample_rate) { return 1000.0 * half_period / sample_rate; }

double Number(const std::string& text, const std::string& whole) {
  double value = 0;
  auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || result.ec != std::errc() || result.ptr != text.data() + text.size() || !std::isfinite(value))
    throw std::invalid_argument("gates are written T1:T2,T2:T3 in ms, not '" + whole + "'");
  return value;
}

std::string Shortest(double value) {
  char buffer[64];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

}  // namespace

std::vector<Gate> DefaultGates(int32_t half_period, int32_t sample_rate) {
  std::vector<Gate> gates;
  if (half_period <= 0 || sample_rate <= 0) return gates;
  const double pause = PauseMs(half_period, sample_rate), sample = 1000.0 / sample_rate;
  double start = std::fmax(pause / 100, sample), width = 2 * start;
  while (start + width <= 0.9 * pause) {
    gates.push_back({start, start + width});
    start += width;
    width *= 2;
  }
  return gates;
}

namespace {

struct GateItem {
  Gate gate;
  std::string text;  // as the user wrote it
};

// The list's form, which needs no survey: each gate T1:T2 with T1 from 0, forward and
// not empty, in order and without overlap.
std::vector<GateItem> ReadGateItems(const std::string& text) {
  if (text.empty()) throw std::invalid_argument("no gate given");
  std::vector<std::string> texts{""};
  for (char c : text) c == ',' ? texts.push_back("") : texts.back().push_back(c);
  if (texts.back().empty() && texts.size() > 1)
    throw std::invalid_argument("the gate list '" + text + "' ends with a comma");
  std::vector<GateItem> items;
  for (const std::string& item : texts) {
    if (item.empty()) throw std::invalid_argument("the gate list '" + text + "' has an empty gate between commas");
    const size_t colon = item.find(':');
    if (colon == std::string::npos) throw std::invalid_argument("a gate is written T1:T2 in ms, not '" + item + "'");
    const Gate gate{Number(item.substr(0, colon), item), Number(item.substr(colon + 1), item)};
    if (gate.t2_ms < gate.t1_ms)
      throw std::invalid_argument("gate " + item + " ms is reversed: it ends before it starts");
    if (gate.t2_ms == gate.t1_ms) throw std::invalid_argument("gate " + item + " ms is empty: it ends where it starts");
    if (gate.t1_ms < 0) throw std::invalid_argument("gate " + item + " ms starts before the switch-off");
    if (!items.empty() && gate.t1_ms < items.back().gate.t2_ms)
      throw std::invalid_argument(
          "gate " + item + " ms starts before the gate before it ends: gates are listed in order and do not overlap");
    items.push_back({gate, item});
  }
  return items;
}

}  // namespace

std::vector<Gate> ReadGateList(const std::string& text) {
  std::vector<Gate> gates;
  for (const GateItem& item : ReadGateItems(text)) gates.push_back(item.gate);
  return gates;
}

std::vector<Gate> ParseGates(const std::string& text, int32_t half_period, int32_t sample_rate) {
  std::vector<Gate> gates;
  const double pause = PauseMs(half_period, sample_rate);
  for (const GateItem& item : ReadGateItems(text)) {
    // A gate may end at the end of the pause.
    if (!(item.gate.t2_ms <= pause))
      throw std::invalid_argument("gate " + item.text + " ms lies outside the pause of " + Shortest(pause) + " ms");
    if (GateSamples(item.gate, half_period, sample_rate).Count() == 0)
      throw std::invalid_argument("gate " + item.text + " ms holds no sample");
    gates.push_back(item.gate);
  }
  return gates;
}

std::string GateText(const Gate& gate) { return Shortest(gate.t1_ms) + "-" + Shortest(gate.t2_ms); }

std::string GateListText(const std::vector<Gate>& gates) {
  std::string text;
  for (const Gate& gate : gates) text += (text.empty() ? "" : ",") + Shortest(gate.t1_ms) + ":" + Shortest(gate.t2_ms);
  return text;
}

double SampleTimeMs(int64_t j, int32_t sample_rate) { return 1000.0 * (static_cast<double>(j) + 0.5) / sample_rate; }

SampleRange GateSamples(const Gate& gate, int32_t half_period, int32_t sample_rate) {
  // The first sample at or after t: from its estimate, moved until SampleTimeMs agrees.
  auto first_at = [&](double t_ms) {
    const double estimate = std::ceil(t_ms * sample_rate / 1000 - 0.5);
    int64_t j = estimate <= 0 ? 0 : estimate >= half_period ? half_period : static_cast<int64_t>(estimate);
    while (j > 0 && SampleTimeMs(j - 1, sample_rate) >= t_ms) --j;
    while (j < half_period && SampleTimeMs(j, sample_rate) < t_ms) ++j;
    return j;
  };
  SampleRange range;
  if (half_period <= 0 || sample_rate <= 0 || !(gate.t1_ms <= gate.t2_ms)) return range;
  range.first = first_at(gate.t1_ms);
  range.last = std::max(range.first, first_at(gate.t2_ms));
  return range;
}
