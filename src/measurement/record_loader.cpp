#include "measurement/record_loader.h"

#include <algorithm>
#include <stdexcept>
#include <string>

#include "measurement/in_out_error.h"

namespace {

// A curve read ahead by the pass's second thread, or read here.
void ReadCurve(Vari& v, int64_t offset, std::vector<float>& samples) {
  if (v.ReadAhead && v.ReadAhead->Take(offset, samples)) return;
  v.DataFile.Seek(offset);
  v.DataFile.ReadExact(samples.data(), samples.size() * sizeof(float));
}

// The file holds A and V; the program works in mA and mV, in single precision.
// Turning the sign of an exactly rounded product changes nothing else, so one
// multiplication by -1000 gives what multiplying by 1000 and then by -1 gives.
void Scale(std::vector<float>& samples, float factor) {
  const float scale = 1000.0f * factor;
  for (float& sample : samples) sample = sample * scale;
}

const RecordIndexEntry& EntryOf(Vari& v, int k) {
  if (k < 1 || k > v.RecordCount) throw std::out_of_range("record " + std::to_string(k) + " is not indexed");
  // The curves are sized at the first load, not at the open: a header may promise
  // curves that no record is ever read from.
  size_t samples = static_cast<size_t>(v.SamplesPerCurve);
  if (v.CurrentSamples.size() != samples) v.CurrentCache.Forget();
  v.CurrentSamples.resize(samples);
  v.VoltageSamples.resize(samples);
  return v.RecordIndex[k];
}

}  // namespace

void LoadCurrentSamples(Vari& v, int k) {
  const RecordIndexEntry& entry = EntryOf(v, k);
  // The channels of a block share one current curve: while the file stays open for a
  // pass over all records, the scaled curve already in memory is exactly what a read
  // would give again.
  if (v.CurrentCache.HoldsCurve(entry.CurrentOffset, v.DataFile.Session())) return;
  v.CurrentCache.Forget();
  ReadCurve(v, entry.CurrentOffset, v.CurrentSamples);
  Scale(v.CurrentSamples, 1.0f);
  v.CurrentCache.RememberCurve(entry.CurrentOffset, v.DataFile.Session());
}

void LoadVoltageSamples(Vari& v, int k, bool flip_sign) {
  const RecordIndexEntry& entry = EntryOf(v, k);
  ReadCurve(v, entry.VoltageOffset, v.VoltageSamples);
  Scale(v.VoltageSamples, flip_sign ? -1.0f : 1.0f);
}

std::vector<int64_t> PassCurveOffsets(const Vari& v) {
  std::vector<int64_t> offsets;
  int64_t current = -1;
  for (int k = 1; k <= v.RecordCount; ++k) {
    const RecordIndexEntry& entry = v.RecordIndex[static_cast<size_t>(k)];
    if (entry.CurrentOffset != current) offsets.push_back(current = entry.CurrentOffset);
    offsets.push_back(entry.VoltageOffset);
  }
  return offsets;
}

PassReadAhead::PassReadAhead(Vari& v) : v_(v) {
  const size_t samples = static_cast<size_t>(std::max(v.SamplesPerCurve, 0));
  if (v.RecordCount < 2 || samples == 0 || samples * sizeof(float) > CurveReadAhead::MaxCurveBytes) return;
  read_ahead_ = std::make_unique<CurveReadAhead>(v.DataFileName, PassCurveOffsets(v), samples);
  v.ReadAhead = read_ahead_.get();
}

PassReadAhead::~PassReadAhead() { v_.ReadAhead = nullptr; }

void LoadRecordSamples(Vari& v, int k, bool flip_sign) {
  LoadCurrentSamples(v, k);
  LoadVoltageSamples(v, k, flip_sign);
}
