#pragma once
// The shared state of the program: one instance of everything the parts share.
// Each value has one writer (named beside it); readers read it directly.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "measurement/current_curve_cache.h"
#include "measurement/data_file.h"

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

struct RecordResultValues {
  double MeanDU = 0;    // mV
  double MeanI = 0;     // mA
  double ErrorPct = 0;  // percent, or the fixed values 100 and 50
  double MeanEP = 0;    // mV
};

struct Vari {
  std::string DataFileName = "2pd.qmr";  // written by the open
  ::DataFile DataFile;                   // owned by one operation at a time

  // Header values, written by IndexFile.
  int32_t SampleRate = 0;
  int32_t HalfPeriod = 0;
  int32_t SecondLength = 0;
  int32_t PeriodCount = 0;
  int32_t SamplesPerCurve = 0;
  int32_t ElectrodeCount = 0;
  std::array<ElectrodeRecord, MaxElectrodes + 1> ElectrodeTable{};  // records 1..128

  // Emptied by IndexFile, sized and filled by the record loader; mA and mV once loaded.
  std::vector<float> CurrentSamples;
  std::vector<float> VoltageSamples;

  std::array<RecordIndexEntry, MaxRecords + 1> RecordIndex{};  // entries 1..RecordCount
  int32_t RecordCount = 0;
  int32_t BlockCount = 0;
  bool FileLoaded = false;

  // Processing: the averaging window, the working tables (indexed from 1) and the result.
  // The tables are sized by the record processed, never beyond what its curve holds.
  int32_t WindowLen = 0;
  int32_t WindowCount = 0;
  std::vector<double> AvgI, AvgV, AvgX;  // per half-period
  std::vector<double> DU, EP, DI;        // per difference window
  RecordResultValues RecordResult;
  // The stacking error of the record processed last whatever the sign of its mean dU
  // (ErrorPct holds the fixed value 50 for a negative one): the data error of the
  // exchange formats.
  double StackingSpreadPct = 0;
  // Its mean dU before "Модуль dU": the primary voltage the chargeability is measured
  // against, so that M keeps its sign whatever that option shows.
  double SignedMeanDU = 0;

  // Which current curve CurrentSamples holds and whether AvgI holds its means, so that
  // the channels of one block read and average their shared current curve once.
  CurrentCurveCache CurrentCache;
  // The curves of the pass under way read ahead on a second thread, or null.
  class CurveReadAhead* ReadAhead = nullptr;
};

// The program's one instance.
extern Vari vari;
