#pragma once
// The documents of --json: every key named once here, with what it holds. The README
// lists the same keys (a test checks it), and the commands write only these.

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

// Keys in the order they are set, as a reader expects them.
using Json = nlohmann::ordered_json;

// KEY(identifier, "name", "what it holds")
#define VOSTREL_JSON_KEYS(KEY)                                                                     \
  KEY(File, "file", "the survey as given")                                                         \
  KEY(Project, "project", "the line's project as given")                                           \
  KEY(Error, "error", "why the file failed (also printed as FILE: text)")                          \
  KEY(Warnings, "warnings", "what indexing has to tell: the file cut short, too many records")     \
  KEY(WhyNull, "why_null", "for each key whose value is null, why it has none")                    \
  KEY(SampleRate, "sample_rate_hz", "samples per second")                                          \
  KEY(HalfPeriodSamples, "half_period_samples", "the header's half-period")                        \
  KEY(HalfPeriodMs, "half_period_ms", "the same in ms")                                            \
  KEY(SecondLengthSamples, "second_length_samples", "the header's second length")                  \
  KEY(SecondLengthMs, "second_length_ms", "the same in ms")                                        \
  KEY(PeriodCount, "period_count", "the header's period count")                                    \
  KEY(SamplesPerCurve, "samples_per_curve", "samples of each curve")                               \
  KEY(ElectrodeCount, "electrode_count", "electrodes of the table, or of the line's kept records") \
  KEY(RecordCount, "record_count", "records indexed, or of the line")                              \
  KEY(BlockCount, "block_count", "measurement blocks indexed")                                     \
  KEY(WindowLen, "window_len_samples", "the averaging window")                                     \
  KEY(Records, "records", "one object per record")                                                 \
  KEY(Record, "record", "the record's number, from 1")                                             \
  KEY(A, "a", "current electrode A (0: remote)")                                                   \
  KEY(B, "b", "current electrode B (0: remote)")                                                   \
  KEY(M, "m", "potential electrode M (0: remote)")                                                 \
  KEY(N, "n", "potential electrode N (0: remote)")                                                 \
  KEY(ErrorPct, "error_pct", "the stacking error as the strip chart takes it, %")                  \
  KEY(Class, "class", "blue, green, yellow, red or black")                                         \
  KEY(Counts, "counts", "the number of records of each class")                                     \
  KEY(Vp, "vp_mv", "the on-time voltage Vp, mV")                                                   \
  KEY(Chargeability, "m_mv_v", "chargeability M, mV/V")                                            \
  KEY(ChargeabilityErr, "m_err_mv_v", "the ± of M: half the 95 % interval, mV/V")                  \
  KEY(Mt, "mt_ms", "Mt, ms")                                                                       \
  KEY(Gates, "gates", "one object per gate")                                                       \
  KEY(T1, "t1_ms", "the gate's start after the switch-off, ms")                                    \
  KEY(T2, "t2_ms", "the gate's end, ms")                                                           \
  KEY(Pairs, "pairs", "one object per normal/reciprocal pair")                                     \
  KEY(Normal, "normal", "the normal record's number")                                              \
  KEY(Reciprocal, "reciprocal", "the reciprocal record's number")                                  \
  KEY(RNormal, "r_normal_ohm", "R of the normal, Ω")                                               \
  KEY(RReciprocal, "r_reciprocal_ohm", "R of the reciprocal, Ω")                                   \
  KEY(ErrorMedian, "error_median_pct", "the median of the pairs' |error|, %")                      \
  KEY(ErrorP90, "error_p90_pct", "their 90th percentile, %")                                       \
  KEY(ErrorMax, "error_max_pct", "their largest, %")                                               \
  KEY(Model, "model", "the error model |ΔR| = a + b·|R|")                                          \
  KEY(ModelA, "a_ohm", "a, Ω")                                                                     \
  KEY(ModelB, "b", "b")                                                                            \
  KEY(Bins, "bins", "the bins of |R| it was fitted to")                                            \
  KEY(FileCount, "file_count", "surveys of the line")                                              \
  KEY(Excluded, "excluded", "records the rules or the hand leave out")                             \
  KEY(Causes, "causes", "records left out for each cause, by its first cause")                     \
  KEY(Repeats, "repeats", "one object per quadrupole measured more than once")                     \
  KEY(RLow, "r_low_ohm", "the least R of a repeat, Ω")                                             \
  KEY(RHigh, "r_high_ohm", "the greatest, Ω")                                                      \
  KEY(Spread, "spread_pct", "their difference relative to the mean |R|, %")

namespace json_key {
#define VOSTREL_JSON_KEY_NAME(identifier, name, meaning) inline constexpr const char* identifier = name;
VOSTREL_JSON_KEYS(VOSTREL_JSON_KEY_NAME)
#undef VOSTREL_JSON_KEY_NAME
}  // namespace json_key

struct JsonKeyMeaning {
  const char* name;
  const char* meaning;
};
// Every key, in the order above.
const std::vector<JsonKeyMeaning>& JsonKeys();

// object[key] = value, or null with its reason in object["why_null"][key] when value is
// not a number.
void SetNumber(Json& object, const char* key, double value, const std::string& why_null);

// The document as printed: indented, a line feed after it; a name that is not UTF-8
// has its bad bytes replaced.
std::string JsonText(const Json& document);
// The same as one element of an array printed a file at a time: indented, without the
// line feed (a comma or the array's end follows).
std::string JsonElementText(const Json& element);
