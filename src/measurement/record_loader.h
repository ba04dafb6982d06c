#pragma once

#include "vari.h"

// Reads record k's current and voltage curves through the open DataFile into
// CurrentSamples and VoltageSamples, in mA and mV, the voltage multiplied by -1 when
// flip_sign is set. Throws "Read beyond end of file" when the file has become shorter
// than its index. k must lie in 1..RecordCount.
void LoadRecordSamples(Vari& v, int k, bool flip_sign);

// The two halves of a load, for a caller that draws the current before it reads the voltage.
void LoadCurrentSamples(Vari& v, int k);
void LoadVoltageSamples(Vari& v, int k, bool flip_sign);
