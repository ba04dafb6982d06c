#include "measurement/index_file.h"

#include <algorithm>
#include <limits>

#include "measurement/file_format.h"
#include "measurement/in_out_error.h"

using namespace file_format;

const char* const IndexFullMessage = "Слишком много данных.\n\rМаксимум=10000";
const char* const FileTooLargeMessage = "Слишком большой файл.\n\rМаксимум=2147483647";

namespace {

constexpr int64_t MaxOffset = std::numeric_limits<int32_t>::max();

int32_t ReadInt32(DataFile& file) {
  unsigned char bytes[4];
  file.ReadExact(bytes, sizeof bytes);
  return DecodeInt32(bytes);
}

void ReadHeader(Vari& v) {
  v.DataFile.Seek(HeaderOffset);
  v.SampleRate = ReadInt32(v.DataFile);
  v.HalfPeriod = ReadInt32(v.DataFile);
  v.SecondLength = ReadInt32(v.DataFile);
  v.PeriodCount = ReadInt32(v.DataFile);

  int64_t samples = SamplesPerCurve(v.HalfPeriod, v.SecondLength, v.PeriodCount);
  // A curve's byte length must fit in int32, as the index and the block arithmetic assume.
  if (samples < 0 || samples > std::numeric_limits<int32_t>::max() / 4)
    throw InOutError::Invalid("Invalid samples per curve " + std::to_string(samples));
  v.SamplesPerCurve = static_cast<int32_t>(samples);
  // Empty curves with very many periods would make every record's processing endless.
  if (v.PeriodCount > MaxHalfPeriods / 4 && 2 * int64_t{v.PeriodCount} > samples)
    throw InOutError::Invalid("Invalid period count " + std::to_string(v.PeriodCount));
}

void ReadElectrodeTable(Vari& v) {
  v.ElectrodeCount = ReadInt32(v.DataFile);
  if (v.ElectrodeCount < 0 || v.ElectrodeCount > MaxElectrodes)
    throw InOutError::Invalid("Invalid electrode count " + std::to_string(v.ElectrodeCount));
  v.ElectrodeTable = {};
  for (int e = 1; e <= v.ElectrodeCount; ++e) v.DataFile.ReadExact(&v.ElectrodeTable[e], ElectrodeRecordSize);
}

enum class BlockOutcome { Accepted, Rejected };

bool ElectrodeInRange(int32_t number, const Vari& v) { return number >= 0 && number <= v.ElectrodeCount; }

// One block at the current position; the caller has already counted it.
BlockOutcome IndexBlock(Vari& v, int64_t file_size, int64_t curve_bytes, IndexReport& report) {
  if (v.RecordCount >= MaxRecords) {
    report.warnings.push_back(IndexFullMessage);
    return BlockOutcome::Rejected;
  }
  int64_t block_start = v.DataFile.Position();
  unsigned char fields[BlockFieldsSize];
  size_t got = v.DataFile.Read(fields, sizeof fields);
  if (got < 4) return BlockOutcome::Rejected;
  int32_t a = DecodeInt32(fields);
  if (!ElectrodeInRange(a, v) || got < 8) return BlockOutcome::Rejected;
  int32_t b = DecodeInt32(fields + 4);
  if (!ElectrodeInRange(b, v) || got < 12) return BlockOutcome::Rejected;
  int32_t channels = DecodeInt32(fields + 8);
  if (channels < 0 || channels > MaxChannels) return BlockOutcome::Rejected;

  int64_t block_end = block_start + BlockSize(curve_bytes / 4, channels);
  if (file_size < block_end) return BlockOutcome::Rejected;
  int64_t last_voltage_offset = block_end - curve_bytes;
  if (last_voltage_offset > MaxOffset) {
    report.warnings.push_back(FileTooLargeMessage);
    return BlockOutcome::Rejected;
  }

  int64_t current_offset = block_start + BlockFieldsSize;
  v.DataFile.Seek(current_offset + curve_bytes);
  for (int32_t channel = 1; channel <= channels; ++channel) {
    if (v.RecordCount >= MaxRecords) {
      report.warnings.push_back(IndexFullMessage);
      return BlockOutcome::Rejected;
    }
    RecordIndexEntry& entry = v.RecordIndex[++v.RecordCount];
    entry.A = static_cast<uint8_t>(a);
    entry.B = static_cast<uint8_t>(b);
    entry.Block = static_cast<uint16_t>(v.BlockCount);
    entry.CurrentOffset = static_cast<int32_t>(current_offset);
    entry.Channel = static_cast<uint8_t>(channel);

    v.DataFile.Seek(v.DataFile.Position() + ChannelHeaderSize);
    unsigned char electrodes[ChannelFieldsSize];
    v.DataFile.ReadExact(electrodes, sizeof electrodes);
    int32_t m = DecodeInt32(electrodes);
    int32_t n = DecodeInt32(electrodes + 4);
    entry.M = static_cast<uint8_t>(m);
    entry.N = static_cast<uint8_t>(n);
    entry.VoltageOffset = static_cast<int32_t>(v.DataFile.Position());
    v.DataFile.Seek(v.DataFile.Position() + curve_bytes);

    if (!ElectrodeInRange(m, v) || !ElectrodeInRange(n, v)) {
      --v.RecordCount;  // this channel's record is dropped; earlier channels stay
      return BlockOutcome::Rejected;
    }
  }
  return BlockOutcome::Accepted;
}

void IndexBlocks(Vari& v, int64_t curve_bytes, IndexReport& report) {
  int64_t file_size = v.DataFile.Size();
  while (v.DataFile.Position() < file_size) {
    ++v.BlockCount;
    if (IndexBlock(v, file_size, curve_bytes, report) == BlockOutcome::Rejected) {
      --v.BlockCount;
      return;
    }
  }
}

// Nothing is sized by the header at the open: the curves are sized when a record is
// loaded and the processing tables when it is processed.
void ReleaseWorkingArrays(Vari& v) {
  for (auto* curve : {&v.CurrentSamples, &v.VoltageSamples}) std::vector<float>().swap(*curve);
  for (auto* table : {&v.AvgI, &v.AvgV, &v.AvgX, &v.DU, &v.EP, &v.DI}) std::vector<double>().swap(*table);
  v.CurrentCache.Forget();
}

}  // namespace

IndexReport IndexFile(Vari& v) {
  v.FileLoaded = false;
  v.RecordCount = 0;
  v.BlockCount = 0;
  ReleaseWorkingArrays(v);
  DataFileSession session(v.DataFile, v.DataFileName);
  ReadHeader(v);
  ReadElectrodeTable(v);
  IndexReport report;
  IndexBlocks(v, 4 * int64_t{v.SamplesPerCurve}, report);
  return report;
}
