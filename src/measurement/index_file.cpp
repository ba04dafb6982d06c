#include "measurement/index_file.h"

#include <algorithm>
#include <charconv>
#include <initializer_list>
#include <limits>
#include <optional>

#include "measurement/file_format.h"
#include "measurement/in_out_error.h"

using namespace file_format;

const char* const IndexFullMessage = "Слишком много данных.\n\rМаксимум=10000";
const char* const FileTooLargeMessage = "Слишком большой файл.\n\rМаксимум=2147483647";
const char* const CutShortMessage = "Файл обрывается внутри блока %1.\n\rПолных блоков: %2, записей: %3";
const char* const NotABlockMessage =
    "Блок %1 (байт %2) не похож на блок данных.\n\rПрочитано блоков: %3, записей: %4; от этого блока до конца файла "
    "байт: %5";

namespace {

// A text of the core's with %1, %2, ... in place of its numbers, in order.
std::string WithNumbers(const char* form, std::initializer_list<int64_t> numbers) {
  std::string text = form;
  int i = 0;
  for (int64_t number : numbers) {
    const std::string mark = "%" + std::to_string(++i);
    text.replace(text.find(mark), mark.size(), std::to_string(number));
  }
  return text;
}

// The numbers of `text` when it is `form` with numbers in place of %1, %2, ...
std::optional<std::vector<int64_t>> NumbersOf(const std::string& text, const std::string& form) {
  std::vector<int64_t> numbers;
  size_t at = 0, from = 0;
  for (size_t mark = form.find('%'); mark != std::string::npos; mark = form.find('%', from)) {
    const std::string piece = form.substr(from, mark - from);
    if (text.compare(at, piece.size(), piece) != 0) return std::nullopt;
    at += piece.size();
    int64_t number = 0;
    const auto read = std::from_chars(text.data() + at, text.data() + text.size(), number);
    if (read.ec != std::errc()) return std::nullopt;
    numbers.push_back(number);
    at = static_cast<size_t>(read.ptr - text.data());
    from = mark + 2;
  }
  if (text.compare(at, std::string::npos, form.substr(from)) != 0) return std::nullopt;
  return numbers;
}

}  // namespace

std::string CutShortText(int32_t block, int32_t complete_blocks, int32_t records) {
  return WithNumbers(CutShortMessage, {block, complete_blocks, records});
}

std::string NotABlockText(int32_t block, int64_t offset, int32_t blocks, int32_t records, int64_t unread_bytes) {
  return WithNumbers(NotABlockMessage, {block, offset, blocks, records, unread_bytes});
}

std::string IndexWarningInEnglish(const std::string& warning) {
  if (warning == IndexFullMessage) return "too many records: the first 10000 are read";
  if (warning == FileTooLargeMessage) return "the file is too large: the blocks beyond 2147483647 bytes are not read";
  if (const auto n = NumbersOf(warning, CutShortMessage))
    return "the file ends inside block " + std::to_string((*n)[0]) + "; " + std::to_string((*n)[1]) +
           " complete blocks and " + std::to_string((*n)[2]) + " records are read";
  if (const auto n = NumbersOf(warning, NotABlockMessage))
    return "block " + std::to_string((*n)[0]) + " at byte " + std::to_string((*n)[1]) +
           " is not a block (its electrodes or its channel count are out of range): " + std::to_string((*n)[2]) +
           " blocks and " + std::to_string((*n)[3]) + " records are read; the file holds " + std::to_string((*n)[4]) +
           " bytes from that block on";
  return warning;
}

namespace {

constexpr int64_t MaxOffset = std::numeric_limits<int32_t>::max();

// The five header integers and the electrode table, in a read each.
void ReadHeader(Survey& v, DataFile& f) {
  f.Seek(HeaderOffset);
  unsigned char head[ElectrodeTableOffset - HeaderOffset];
  const size_t got = f.Read(head, sizeof head);
  if (got < 16) throw InOutError::ShortRead();
  v.SampleRate = DecodeInt32(head);
  v.HalfPeriod = DecodeInt32(head + 4);
  v.SecondLength = DecodeInt32(head + 8);
  v.PeriodCount = DecodeInt32(head + 12);

  int64_t samples = SamplesPerCurve(v.HalfPeriod, v.SecondLength, v.PeriodCount);
  // A curve's byte length must fit in int32, as the index and the block arithmetic assume.
  if (samples < 0 || samples > std::numeric_limits<int32_t>::max() / 4)
    throw InOutError::Invalid("Invalid samples per curve " + std::to_string(samples));
  v.SamplesPerCurve = static_cast<int32_t>(samples);
  // Empty curves with very many periods would make every record's processing endless.
  if (v.PeriodCount > MaxHalfPeriods / 4 && 2 * int64_t{v.PeriodCount} > samples)
    throw InOutError::Invalid("Invalid period count " + std::to_string(v.PeriodCount));

  if (got < sizeof head) throw InOutError::ShortRead();
  v.ElectrodeCount = DecodeInt32(head + 16);
  if (v.ElectrodeCount < 0 || v.ElectrodeCount > MaxElectrodes)
    throw InOutError::Invalid("Invalid electrode count " + std::to_string(v.ElectrodeCount));
  v.ElectrodeTable = {};
  static_assert(sizeof(ElectrodeRecord) == ElectrodeRecordSize, "the table is read as the file holds it");
  if (v.ElectrodeCount > 0)
    f.ReadExact(&v.ElectrodeTable[1], static_cast<size_t>(v.ElectrodeCount) * ElectrodeRecordSize);
}

enum class BlockOutcome { Accepted, Rejected, CutShort };

bool ElectrodeInRange(int32_t number, const Survey& v) { return number >= 0 && number <= v.ElectrodeCount; }

// A block's fields (A, B, C) as far as the file holds them.
struct BlockFields {
  unsigned char bytes[BlockFieldsSize] = {};
  size_t got = 0;
};

// The block at block_start, whose fields have come; the caller has already counted it.
// Every channel's electrodes and the next block's fields come in one round of reads.
BlockOutcome IndexBlock(Survey& v, DataFile& f, int64_t block_start, const BlockFields& fields, int64_t file_size,
                        int64_t curve_bytes, IndexReport& report, BlockFields& next) {
  if (v.RecordCount >= MaxRecords) {
    report.warnings.push_back(IndexFullMessage);
    return BlockOutcome::Rejected;
  }
  const size_t got = fields.got;
  if (got < 4) return BlockOutcome::CutShort;
  int32_t a = DecodeInt32(fields.bytes);
  if (!ElectrodeInRange(a, v)) return BlockOutcome::Rejected;
  if (got < 8) return BlockOutcome::CutShort;
  int32_t b = DecodeInt32(fields.bytes + 4);
  if (!ElectrodeInRange(b, v)) return BlockOutcome::Rejected;
  if (got < 12) return BlockOutcome::CutShort;
  int32_t channels = DecodeInt32(fields.bytes + 8);
  if (channels < 0 || channels > MaxChannels) return BlockOutcome::Rejected;

  int64_t block_end = block_start + BlockSize(curve_bytes / 4, channels);
  if (file_size < block_end) return BlockOutcome::CutShort;
  int64_t last_voltage_offset = block_end - curve_bytes;
  if (last_voltage_offset > MaxOffset) {
    report.warnings.push_back(FileTooLargeMessage);
    return BlockOutcome::Rejected;
  }

  const int64_t current_offset = block_start + BlockFieldsSize;
  // Channel c's electrodes follow its header, after the curves before it.
  auto electrodes_at = [&](int32_t channel) {
    return current_offset + curve_bytes + (channel - 1) * (ChannelOverhead + curve_bytes) + ChannelHeaderSize;
  };
  unsigned char electrodes[MaxChannels][ChannelFieldsSize];
  platform::ScatteredRead reads[MaxChannels + 1];
  size_t count = 0;
  for (int32_t channel = 1; channel <= channels; ++channel, ++count)
    reads[count] = {electrodes_at(channel), electrodes[channel - 1], ChannelFieldsSize, 0};
  next = {};
  const size_t next_fields = count;
  if (block_end < file_size)
    reads[count++] = {block_end, next.bytes,
                      static_cast<size_t>(std::min<int64_t>(BlockFieldsSize, file_size - block_end)), 0};
  f.ReadScattered(std::span(reads, count));
  if (next_fields < count) next.got = static_cast<size_t>(reads[next_fields].got);

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

    if (reads[channel - 1].got != ChannelFieldsSize) throw InOutError::ShortRead();
    int32_t m = DecodeInt32(electrodes[channel - 1]);
    int32_t n = DecodeInt32(electrodes[channel - 1] + 4);
    entry.M = static_cast<uint8_t>(m);
    entry.N = static_cast<uint8_t>(n);
    entry.VoltageOffset = static_cast<int32_t>(electrodes_at(channel) + ChannelFieldsSize);

    if (!ElectrodeInRange(m, v) || !ElectrodeInRange(n, v)) {
      --v.RecordCount;  // this channel's record is dropped; earlier channels stay
      return BlockOutcome::Rejected;
    }
  }
  f.Seek(block_end);
  return BlockOutcome::Accepted;
}

void IndexBlocks(Survey& v, DataFile& f, int64_t curve_bytes, IndexReport& report) {
  int64_t file_size = f.Size();
  BlockFields fields;
  if (f.Position() < file_size) fields.got = f.Read(fields.bytes, sizeof fields.bytes);
  for (int64_t start = f.Position() - static_cast<int64_t>(fields.got); start < file_size; start = f.Position()) {
    ++v.BlockCount;
    BlockFields next;
    const size_t warned = report.warnings.size();
    const BlockOutcome outcome = IndexBlock(v, f, start, fields, file_size, curve_bytes, report, next);
    if (outcome != BlockOutcome::Accepted) {
      --v.BlockCount;
      if (outcome == BlockOutcome::CutShort)
        report.warnings.push_back(CutShortText(v.BlockCount + 1, v.BlockCount, v.RecordCount));
      // Whatever follows a block that cannot be one is not read: the user is told how much.
      else if (report.warnings.size() == warned)
        report.warnings.push_back(
            NotABlockText(v.BlockCount + 1, start, v.BlockCount, v.RecordCount, file_size - start));
      return;
    }
    fields = next;
  }
}

}  // namespace

IndexReport IndexFile(Survey& v, DataFile& f) {
  v.RecordCount = 0;
  v.BlockCount = 0;
  DataFileSession session(f, v.DataFileName);
  ReadHeader(v, f);
  IndexReport report;
  IndexBlocks(v, f, 4 * int64_t{v.SamplesPerCurve}, report);
  return report;
}
