#include "measurement/record_loader.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string>

#include "measurement/in_out_error.h"

namespace {

// Bytes between blocks that a pass reads on over rather than seeking past them.
constexpr int64_t SkippedBytes = 4096;

// The file holds A and V; the program works in mA and mV, in single precision.
// Turning the sign of an exactly rounded product changes nothing else, so one
// multiplication by -1000 gives what multiplying by 1000 and then by -1 gives.
void Scale(std::vector<float>& samples, float factor) {
  const float scale = 1000.0f * factor;
  for (float& sample : samples) sample = sample * scale;
}

// A curve from a block read ahead by the pass's readers, scaled as it is copied out, or
// read here and scaled.
void ReadCurve(Workspace& w, int64_t offset, std::vector<float>& samples, float factor) {
  const size_t bytes = samples.size() * sizeof(float);
  if (const unsigned char* curve = w.ReadAhead ? w.ReadAhead->Take(offset, bytes) : nullptr) {
    const float scale = 1000.0f * factor;
    float* out = samples.data();
    for (size_t i = 0; i < samples.size(); ++i) {
      float sample;
      std::memcpy(&sample, curve + i * sizeof(float), sizeof(float));
      out[i] = sample * scale;
    }
    return;
  }
  w.DataFile.Seek(offset);
  w.DataFile.ReadExact(samples.data(), bytes);
  Scale(samples, factor);
}

const RecordIndexEntry& EntryOf(const Survey& s, Workspace& v, int k) {
  if (k < 1 || k > s.RecordCount) throw std::out_of_range("record " + std::to_string(k) + " is not indexed");
  // The curves are sized at the first load, not at the open: a header may promise
  // curves that no record is ever read from.
  size_t samples = static_cast<size_t>(s.SamplesPerCurve);
  if (v.CurrentSamples.size() != samples) v.CurrentCache.Forget();
  v.CurrentSamples.resize(samples);
  v.VoltageSamples.resize(samples);
  return s.RecordIndex[k];
}

}  // namespace

void LoadCurrentSamples(const Survey& s, Workspace& v, int k) {
  const RecordIndexEntry& entry = EntryOf(s, v, k);
  // The channels of a block share one current curve: while the file stays open for a
  // pass over all records, the scaled curve already in memory is exactly what a read
  // would give again.
  if (v.CurrentCache.HoldsCurve(entry.CurrentOffset, v.DataFile.Session())) return;
  v.CurrentCache.Forget();
  ReadCurve(v, entry.CurrentOffset, v.CurrentSamples, 1.0f);
  v.CurrentCache.RememberCurve(entry.CurrentOffset, v.DataFile.Session());
}

void LoadVoltageSamples(const Survey& s, Workspace& v, int k, bool flip_sign) {
  const RecordIndexEntry& entry = EntryOf(s, v, k);
  ReadCurve(v, entry.VoltageOffset, v.VoltageSamples, flip_sign ? -1.0f : 1.0f);
}

std::vector<BlockReadAhead::Range> PassBlocks(const Survey& s) {
  std::vector<BlockReadAhead::Range> blocks;
  const int64_t curve_bytes = 4 * int64_t{std::max(s.SamplesPerCurve, 0)};
  int64_t current = -1;
  for (int k = 1; k <= s.RecordCount; ++k) {
    const RecordIndexEntry& entry = s.RecordIndex[static_cast<size_t>(k)];
    if (entry.CurrentOffset != current) {
      current = entry.CurrentOffset;
      int64_t start = current;
      // Reading on over the block's header costs less than moving past it.
      if (!blocks.empty() && start >= blocks.back().end && start - blocks.back().end <= SkippedBytes)
        start = blocks.back().end;
      blocks.push_back({start, current + curve_bytes});
    }
    BlockReadAhead::Range& block = blocks.back();
    block.start = std::min<int64_t>(block.start, entry.VoltageOffset);
    block.end = std::max<int64_t>(block.end, entry.VoltageOffset + curve_bytes);
  }
  return blocks;
}

PassReadAhead::PassReadAhead(const Survey& s, Workspace& w, BlockReadAhead::Observer observer, PassShare share)
    : work_(w) {
  if (s.RecordCount < 2 || s.SamplesPerCurve <= 0 || share.parts == 0) return;
  std::vector<BlockReadAhead::Range> blocks;
  const std::vector<BlockReadAhead::Range> all = PassBlocks(s);
  for (size_t b = share.part; b < all.size(); b += share.parts) {
    if (static_cast<uint64_t>(all[b].end - all[b].start) > BlockReadAhead::MaxBlockBytes) return;
    blocks.push_back(all[b]);
  }
  // A workspace with a share of the blocks reads them for itself, on the core that uses them.
  const size_t readers = share.parts == 1 ? BlockReadAhead::MaxReaders : 0;
  read_ahead_ = std::make_unique<BlockReadAhead>(s.DataFileName, std::move(blocks), std::move(observer), readers);
  w.ReadAhead = read_ahead_.get();
}

PassReadAhead::~PassReadAhead() { work_.ReadAhead = nullptr; }

void LoadRecordSamples(const Survey& s, Workspace& w, int k, bool flip_sign) {
  LoadCurrentSamples(s, w, k);
  LoadVoltageSamples(s, w, k, flip_sign);
}
