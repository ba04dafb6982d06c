#pragma once

#include <memory>
#include <vector>

#include "measurement/curve_read_ahead.h"
#include "vari.h"

// Reads record k's current and voltage curves through the open DataFile into
// CurrentSamples and VoltageSamples, in mA and mV, the voltage multiplied by -1 when
// flip_sign is set. Throws "Read beyond end of file" when the file has become shorter
// than its index. k must lie in 1..RecordCount.
void LoadRecordSamples(Vari& v, int k, bool flip_sign);

// The curves a pass over records 1..RecordCount reads, in the order it reads them: a
// block's current curve once, then the voltage curve of each of its records.
std::vector<int64_t> PassCurveOffsets(const Vari& v);

// Reads the curves of a pass ahead while it lives, when they are small enough.
class PassReadAhead {
 public:
  explicit PassReadAhead(Vari& v);
  ~PassReadAhead();
  PassReadAhead(const PassReadAhead&) = delete;
  PassReadAhead& operator=(const PassReadAhead&) = delete;

 private:
  Vari& v_;
  std::unique_ptr<CurveReadAhead> read_ahead_;
};

// The two halves of a load, for a caller that draws the current before it reads the voltage.
void LoadCurrentSamples(Vari& v, int k);
void LoadVoltageSamples(Vari& v, int k, bool flip_sign);
