#include "measurement/index_file.h"

#include <algorithm>
#include <charconv>
#include <limits>

#include "measurement/file_format.h"
#include "measurement/in_out_error.h"

using namespace file_format;

const char* const IndexFullMessage = "Слишком много данных.\n\rМаксимум=10000";
const char* const FileTooLargeMessage = "Слишком большой файл.\n\rМаксимум=2147483647";
const char* const CutShortMessage = "Файл обрывается внутри блока %1.\n\rПолных блоков: %2, записей: %3";

std::string CutShortText(int32_t block, int32_t complete_blocks, int32_t records) {
  std::string text = CutShortMessage;
  const std::string numbers[] = {std::to_string(block), std::to_string(complete_blocks), std::to_string(records)};
  for (int i = 0; i < 3; ++i) {
    const std::string mark = "%" + std::to_string(i + 1);
    text.replace(text.find(mark), mark.size(), numbers[i]);
  }
  return text;
}

std::string IndexWarningInEnglish(const std::string& warning) {
  if (warning == IndexFullMessage) return "too many records: the first 10000 are read";
  if (warning == FileTooLargeMessage) return "the file is too large: the blocks beyond 2147483647 bytes are not read";
  // The cut-short text with its three numbers, as CutShortText writes it.
  int32_t numbers[3] = {};
  size_t at = 0;
  const std::string form = CutShortMessage;
  size_t from = 0;
  for (int i = 0; i < 3; ++i) {
    const size_t mark = form.find('%', from);
    const std::string piece = form.substr(from, mark - from);
    if (warning.compare(at, piece.size(), piece) != 0) return warning;
    at += piece.size();
    const auto read = std::from_chars(warning.data() + at, warning.data() + warning.size(), numbers[i]);
    if (read.ec != std::errc()) return warning;
    at = static_cast<size_t>(read.ptr - warning.data());
    from = mark + 2;
  }
  if (warning.compare(at, std::string::npos, form.substr(from)) != 0) return warning;
  return "the file ends inside block " + std::to_string(numbers[0]) + "; " + std::to_string(numbers[1]) +
         " complete blocks and " + std::to_string(numbers[2]) + " records are read";
}

namespace {

constexpr int64_t MaxOffset = std::numeric_limits<int32_t>::max();

int32_t ReadInt32(DataFile& file) {
  unsigned char bytes[4];
  file.ReadExact(bytes, sizeof bytes);
  return DecodeInt32(bytes);
}

void ReadHeader(Survey& v, DataFile& f) {
  f.Seek(HeaderOffset);
  v.SampleRate = ReadInt32(f);
  v.HalfPeriod = ReadInt32(f);
  v.SecondLength = ReadInt32(f);
  v.PeriodCount = ReadInt32(f);

  int64_t samples = SamplesPerCurve(v.HalfPeriod, v.SecondLength, v.PeriodCount);
  // A curve's byte length must fit in int32, as the index and the block arithmetic assume.
  if (samples < 0 || samples > std::numeric_limits<int32_t>::max() / 4)
    throw InOutError::Invalid("Invalid samples per curve " + std::to_string(samples));
  v.SamplesPerCurve = static_cast<int32_t>(samples);
  // Empty curves with very many periods would make every record's processing endless.
  if (v.PeriodCount > MaxHalfPeriods / 4 && 2 * int64_t{v.PeriodCount} > samples)
    throw InOutError::Invalid("Invalid period count " + std::to_string(v.PeriodCount));
}

void ReadElectrodeTable(Survey& v, DataFile& f) {
  v.ElectrodeCount = ReadInt32(f);
  if (v.ElectrodeCount < 0 || v.ElectrodeCount > MaxElectrodes)
    throw InOutError::Invalid("Invalid electrode count " + std::to_string(v.ElectrodeCount));
  v.ElectrodeTable = {};
  for (int e = 1; e <= v.ElectrodeCount; ++e) f.ReadExact(&v.ElectrodeTable[e], ElectrodeRecordSize);
}

enum class BlockOutcome { Accepted, Rejected, CutShort };

bool ElectrodeInRange(int32_t number, const Survey& v) { return number >= 0 && number <= v.ElectrodeCount; }

// One block at the current position; the caller has already counted it.
BlockOutcome IndexBlock(Survey& v, DataFile& f, int64_t file_size, int64_t curve_bytes, IndexReport& report) {
  if (v.RecordCount >= MaxRecords) {
    report.warnings.push_back(IndexFullMessage);
    return BlockOutcome::Rejected;
  }
  int64_t block_start = f.Position();
  unsigned char fields[BlockFieldsSize];
  size_t got = f.Read(fields, sizeof fields);
  if (got < 4) return BlockOutcome::CutShort;
  int32_t a = DecodeInt32(fields);
  if (!ElectrodeInRange(a, v)) return BlockOutcome::Rejected;
  if (got < 8) return BlockOutcome::CutShort;
  int32_t b = DecodeInt32(fields + 4);
  if (!ElectrodeInRange(b, v)) return BlockOutcome::Rejected;
  if (got < 12) return BlockOutcome::CutShort;
  int32_t channels = DecodeInt32(fields + 8);
  if (channels < 0 || channels > MaxChannels) return BlockOutcome::Rejected;

  int64_t block_end = block_start + BlockSize(curve_bytes / 4, channels);
  if (file_size < block_end) return BlockOutcome::CutShort;
  int64_t last_voltage_offset = block_end - curve_bytes;
  if (last_voltage_offset > MaxOffset) {
    report.warnings.push_back(FileTooLargeMessage);
    return BlockOutcome::Rejected;
  }

  int64_t current_offset = block_start + BlockFieldsSize;
  f.Seek(current_offset + curve_bytes);
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

    f.Seek(f.Position() + ChannelHeaderSize);
    unsigned char electrodes[ChannelFieldsSize];
    f.ReadExact(electrodes, sizeof electrodes);
    int32_t m = DecodeInt32(electrodes);
    int32_t n = DecodeInt32(electrodes + 4);
    entry.M = static_cast<uint8_t>(m);
    entry.N = static_cast<uint8_t>(n);
    entry.VoltageOffset = static_cast<int32_t>(f.Position());
    f.Seek(f.Position() + curve_bytes);

    if (!ElectrodeInRange(m, v) || !ElectrodeInRange(n, v)) {
      --v.RecordCount;  // this channel's record is dropped; earlier channels stay
      return BlockOutcome::Rejected;
    }
  }
  return BlockOutcome::Accepted;
}

void IndexBlocks(Survey& v, DataFile& f, int64_t curve_bytes, IndexReport& report) {
  int64_t file_size = f.Size();
  while (f.Position() < file_size) {
    ++v.BlockCount;
    const BlockOutcome outcome = IndexBlock(v, f, file_size, curve_bytes, report);
    if (outcome != BlockOutcome::Accepted) {
      --v.BlockCount;
      if (outcome == BlockOutcome::CutShort)
        report.warnings.push_back(CutShortText(v.BlockCount + 1, v.BlockCount, v.RecordCount));
      return;
    }
  }
}

}  // namespace

IndexReport IndexFile(Survey& v, DataFile& f) {
  v.RecordCount = 0;
  v.BlockCount = 0;
  DataFileSession session(f, v.DataFileName);
  ReadHeader(v, f);
  ReadElectrodeTable(v, f);
  IndexReport report;
  IndexBlocks(v, f, 4 * int64_t{v.SamplesPerCurve}, report);
  return report;
}
