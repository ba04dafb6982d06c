#pragma once
// An opened survey: what indexing learnt of a measurement file. It never changes once
// made; every pass and view reads it by const reference, and a pass running beside the
// window shares it (SharedSurvey) instead of copying it.

#include <array>
#include <cstdint>
#include <memory>
#include <string>

constexpr int MaxRecords = 10000;
constexpr int MaxElectrodes = 128;
constexpr int MaxChannels = 20;
// Capacity of the processing tables as the instrument defines it (100 periods).
constexpr int MaxHalfPeriods = 400;

#pragma pack(push, 1)
struct RecordIndexEntry {
  uint16_t Block;   // block ordinal from 1, modulo 65536
  uint8_t Channel;  // channel within its block, from 1
  uint8_t A;
  uint8_t M;
  uint8_t B;
  uint8_t N;
  int32_t CurrentOffset;  // file offset of the block's current curve
  int32_t VoltageOffset;  // file offset of this channel's voltage curve
};
#pragma pack(pop)
static_assert(sizeof(RecordIndexEntry) == 15, "the index entry is a packed 15-byte record");

// One electrode record exactly as it stands in the file; only the coordinate is used.
struct ElectrodeRecord {
  uint32_t Reserved;
  float Coordinate;
  std::array<uint8_t, 8> Rest;
};
static_assert(sizeof(ElectrodeRecord) == 16, "an electrode record is 16 bytes in the file");

struct Survey {
  std::string DataFileName;

  // Header values.
  int32_t SampleRate = 0;
  int32_t HalfPeriod = 0;
  int32_t SecondLength = 0;
  int32_t PeriodCount = 0;
  int32_t SamplesPerCurve = 0;
  int32_t ElectrodeCount = 0;
  std::array<ElectrodeRecord, MaxElectrodes + 1> ElectrodeTable{};  // records 1..128

  std::array<RecordIndexEntry, MaxRecords + 1> RecordIndex{};  // entries 1..RecordCount
  int32_t RecordCount = 0;
  int32_t BlockCount = 0;

  // The averaging window by the window rule, once the survey holds records.
  int32_t WindowLen = 0;
};

using SharedSurvey = std::shared_ptr<const Survey>;
