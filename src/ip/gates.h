#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A time window after the current is switched off, in milliseconds: [t1, t2).
struct Gate {
  double t1_ms = 0;
  double t2_ms = 0;
  double Width() const { return t2_ms - t1_ms; }
  bool operator==(const Gate&) const = default;
};

// Sample j (from 0) of a pause lies (j + 1/2) / rate after the switch-off: in ms.
double SampleTimeMs(int64_t j, int32_t sample_rate);

// The samples of a pause of `half_period` that a gate averages, those with
// t1 <= t_j < t2: j in [first, last).
struct SampleRange {
  int64_t first = 0;
  int64_t last = 0;
  int64_t Count() const { return last - first; }
};
SampleRange GateSamples(const Gate& gate, int32_t half_period, int32_t sample_rate);

// The standard log-spaced gates that fit a pause of `half_period` samples: the first
// starts after a delay of 1 % of the pause (at least one sample), each is twice as
// wide as the one before (the first twice the delay), and the last ends within the
// first 90 % of the pause, before the next switch-on's effects.
std::vector<Gate> DefaultGates(int32_t half_period, int32_t sample_rate);

// Gates written "T1:T2,T2:T3,…" in milliseconds, in order and without overlap; a gate
// may end at the end of the pause. Throws std::invalid_argument with a message for the
// user that names the fault: a malformed gate or list (an empty gate, a trailing comma),
// a reversed or empty gate, one outside the pause, out of order, or without a sample.
std::vector<Gate> ParseGates(const std::string& text, int32_t half_period, int32_t sample_rate);

// The same list read for its form alone, before any survey is known: every fault but
// the pause's (a gate beyond it, or without a sample) is refused as ParseGates does.
std::vector<Gate> ReadGateList(const std::string& text);

// "10-30" for a gate; "10-630" for the span of a gate list.
std::string GateText(const Gate& gate);

// "10:30,30:70" for a gate list, as ParseGates reads it back: each time in the fewest
// digits that give the same number again.
std::string GateListText(const std::vector<Gate>& gates);
