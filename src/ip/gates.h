#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A time window after the current is switched off, in milliseconds: [t1, t2).
struct Gate {
  double t1_ms = 0;
  double t2_ms = 0;
  double Width() const { return t2_ms - t1_ms; }
};

// The standard log-spaced gates that fit a pause of `half_period` samples: the first
// starts after a delay of 1 % of the pause (at least one sample), each is twice as
// wide as the one before (the first twice the delay), and the last ends within the
// first 90 % of the pause, before the next switch-on's effects.
std::vector<Gate> DefaultGates(int32_t half_period, int32_t sample_rate);

// Gates written "T1:T2,T2:T3,…" in milliseconds. Throws std::invalid_argument with a
// message for the user when the text is malformed, when a gate lies outside the pause
// or holds no sample.
std::vector<Gate> ParseGates(const std::string& text, int32_t half_period, int32_t sample_rate);

// "10-30" for a gate; "10-630" for the span of a gate list.
std::string GateText(const Gate& gate);
