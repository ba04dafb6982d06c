#include "measurement/index_file.h"

#include <gtest/gtest.h>

#include "measurement/in_out_error.h"
#include "processing/record_evaluation.h"
#include "test_support.h"

namespace {

class IndexFileTest : public ::testing::Test {
 protected:
  // Writes the survey, indexes it and returns the state it leaves.
  std::unique_ptr<Vari> Index(const TestSurvey& survey) {
    survey.Write(path_);
    return IndexPath();
  }
  std::unique_ptr<Vari> IndexPath() {
    auto v = FreshVari(path_);
    OpenSurvey(*v);
    return v;
  }
  std::string IndexError(const TestSurvey& survey) {
    survey.Write(path_);
    auto v = FreshVari(path_);
    v->FileLoaded = true;
    auto old = std::make_shared<Survey>();
    old->DataFileName = path_;
    old->RecordCount = 5;
    v->survey = old;
    try {
      OpenSurvey(*v);
    } catch (const InOutError& error) {
      // The survey on show stays whole: no new header beside its index.
      EXPECT_TRUE(v->FileLoaded);
      EXPECT_EQ(v->survey, old);
      EXPECT_EQ(v->survey->RecordCount, 5);
      EXPECT_FALSE(v->work.DataFile.IsOpen());
      return error.what();
    }
    return "no error";
  }

  TempDir dir_;
  std::string path_ = dir_.File("survey.qmr");
};

TestSurvey OneBlockOneChannel() {
  TestSurvey survey;  // S = 8, two electrodes
  survey.blocks.push_back(SimpleBlock(1));
  return survey;
}

TEST_F(IndexFileTest, SmallestSurveyLiesWhereTheLayoutSays) {
  auto v = Index(OneBlockOneChannel());
  EXPECT_EQ(std::filesystem::file_size(path_), 4360u);
  EXPECT_EQ(v->survey->SamplesPerCurve, 8);
  ASSERT_EQ(v->survey->RecordCount, 1);
  EXPECT_EQ(v->survey->BlockCount, 1);
  const RecordIndexEntry& entry = v->survey->RecordIndex[1];
  EXPECT_EQ(uint16_t{entry.Block}, 1);
  EXPECT_EQ(entry.Channel, 1);
  EXPECT_EQ(int32_t{entry.CurrentOffset}, 4160);
  EXPECT_EQ(int32_t{entry.VoltageOffset}, 4328);
  EXPECT_EQ(entry.A, 1);
  EXPECT_EQ(entry.B, 2);
  EXPECT_EQ(entry.M, 1);
  EXPECT_EQ(entry.N, 2);
  EXPECT_FLOAT_EQ(v->survey->ElectrodeTable[2].Coordinate, 20.0f);
  EXPECT_FALSE(v->FileLoaded);
  EXPECT_FALSE(v->work.DataFile.IsOpen());
  EXPECT_TRUE(v->work.CurrentSamples.empty()) << "curves are sized when a record is loaded";
  {
    DataFileSession session(v->work.DataFile, v->survey->DataFileName);
    v->RecordResult = EvaluateRecord(*v->survey, v->work, 1, {});
  }
  EXPECT_EQ(v->work.CurrentSamples.size(), 8u);
  OpenSurvey(*v);
  EXPECT_EQ(v->work.CurrentSamples.capacity(), 0u) << "an open lets go of the last survey's curves";
  EXPECT_EQ(v->work.AvgV.capacity(), 0u);

  Truncate(path_, 4359);
  v = IndexPath();
  EXPECT_EQ(v->survey->RecordCount, 0);
  EXPECT_EQ(v->survey->BlockCount, 0);
}

TEST_F(IndexFileTest, ShortHeaderIsReadBeyondEnd) {
  for (int64_t size : {4000, 4100, 4115, 4130}) {
    TestSurvey{}.Write(path_);
    Truncate(path_, size);
    auto v = FreshVari(path_);
    try {
      OpenSurvey(*v);
      ADD_FAILURE() << "size " << size << " was accepted";
    } catch (const InOutError& error) {
      EXPECT_STREQ(error.what(), "Read beyond end of file");
      EXPECT_EQ(error.code(), InOutError::ReadBeyondEnd);
    }
    EXPECT_FALSE(v->work.DataFile.IsOpen());
  }
}

TEST_F(IndexFileTest, FileEndingAfterElectrodeTableHasNoRecords) {
  auto v = Index(TestSurvey{});
  EXPECT_EQ(v->survey->RecordCount, 0);
  EXPECT_EQ(v->survey->BlockCount, 0);
  EXPECT_TRUE(v->work.CurrentSamples.empty()) << "no block, no curve memory";
}

TEST_F(IndexFileTest, ElectrodeNumbersMustLieWithinTheTable) {
  struct Case {
    int32_t a, b, m, n, channels;
    int records, blocks;
  };
  const Case cases[] = {
      {2, 2, 2, 2, 1, 1, 1},    // E itself is a valid electrode
      {0, 0, 0, 0, 1, 1, 1},    // 0 is accepted
      {3, 1, 1, 1, 1, 0, 0},    // A = E + 1
      {1, 3, 1, 1, 1, 0, 0},    // B = E + 1
      {-1, 1, 1, 1, 1, 0, 0},   // negative A
      {1, 1, 1, -1, 1, 0, 0},   // N = -1 drops the record
      {1, 1, 3, 1, 1, 0, 0},    // M = E + 1
      {1, 1, 1, 1, 20, 20, 1},  // 20 channels
      {1, 1, 1, 1, 21, 0, 0},   // 21 channels
      {1, 1, 1, 1, -1, 0, 0},   // negative channel count
  };
  for (const Case& c : cases) {
    TestSurvey survey;
    TestBlock block;
    block.a = c.a;
    block.b = c.b;
    block.channels.assign(static_cast<size_t>(std::max(c.channels, 0)), TestChannel{c.m, c.n, {}});
    survey.blocks = {block, SimpleBlock(1)};
    survey.Write(path_);
    if (c.channels < 0) PatchInt32(path_, 4148 + 8, c.channels);
    auto v = IndexPath();
    int expected_records = c.records ? c.records + 1 : 0;
    EXPECT_EQ(v->survey->RecordCount, expected_records)
        << c.a << " " << c.b << " " << c.m << " " << c.n << " " << c.channels;
    EXPECT_EQ(v->survey->BlockCount, c.blocks ? 2 : 0);
  }
}

TEST_F(IndexFileTest, NoElectrodesAcceptsOnlyElectrodeZero) {
  TestSurvey survey;
  survey.electrodes.clear();
  TestBlock zeros;
  zeros.a = zeros.b = 0;
  zeros.channels = {TestChannel{0, 0, {}}};
  TestBlock ones = zeros;
  ones.channels[0].n = 1;
  survey.blocks = {zeros, zeros, ones, zeros};
  auto v = Index(survey);
  EXPECT_EQ(v->survey->RecordCount, 2);
  EXPECT_EQ(v->survey->BlockCount, 2);
}

TEST_F(IndexFileTest, EmptyBlocksCountButGiveNoRecords) {
  TestSurvey survey;
  survey.blocks = {SimpleBlock(0), SimpleBlock(2), SimpleBlock(0), SimpleBlock(1)};
  auto v = Index(survey);
  EXPECT_EQ(v->survey->BlockCount, 4);
  ASSERT_EQ(v->survey->RecordCount, 3);
  EXPECT_EQ(uint16_t{v->survey->RecordIndex[1].Block}, 2);
  EXPECT_EQ(uint16_t{v->survey->RecordIndex[3].Block}, 4);
  EXPECT_EQ(int32_t{v->survey->RecordIndex[1].CurrentOffset}, int32_t{v->survey->RecordIndex[2].CurrentOffset});
  EXPECT_EQ(v->survey->RecordIndex[2].VoltageOffset - v->survey->RecordIndex[1].VoltageOffset, 136 + 4 * 8);
}

// A file cut short is indexed up to its last complete block, and says so.
TEST_F(IndexFileTest, TruncatedTailIsIgnoredWhollyAndReported) {
  TestSurvey survey;
  survey.blocks = {SimpleBlock(2), SimpleBlock(3)};
  survey.Write(path_);
  const int64_t full = static_cast<int64_t>(std::filesystem::file_size(path_));
  const int64_t second_block = 4148 + 12 + 32 + 2 * (136 + 32);
  auto v = FreshVari(path_);
  EXPECT_TRUE(OpenSurvey(*v).warnings.empty()) << "a whole file";
  // Cut inside the last voltage curve, inside a channel header, inside the fields, and
  // a few stray bytes after the first block.
  for (int64_t size : {full - 1, full - 100, second_block + 20, second_block + 11, second_block + 3}) {
    Truncate(path_, size);
    const IndexReport report = OpenSurvey(*v);
    EXPECT_EQ(v->survey->RecordCount, 2) << size;
    EXPECT_EQ(v->survey->BlockCount, 1) << size;
    EXPECT_EQ(report.warnings,
              std::vector<std::string>{"Файл обрывается внутри блока 2.\n\rПолных блоков: 1, записей: 2"})
        << size;
    survey.Write(path_);
  }
  Truncate(path_, 4148 + 7);
  EXPECT_EQ(OpenSurvey(*v).warnings,
            std::vector<std::string>{"Файл обрывается внутри блока 1.\n\rПолных блоков: 0, записей: 0"});
}

TEST_F(IndexFileTest, BadElectrodeInALaterChannelKeepsEarlierChannels) {
  TestSurvey survey;
  TestBlock bad = SimpleBlock(5);
  bad.channels[2].m = 7;
  survey.blocks = {SimpleBlock(1), bad, SimpleBlock(4)};
  survey.Write(path_);
  auto v = FreshVari(path_);
  // The rest of the file is not read, and the user is told where and how much.
  const std::vector<std::string> warnings = OpenSurvey(*v).warnings;
  ASSERT_EQ(warnings, std::vector<std::string>{"Блок 2 (байт 4360) не похож на блок данных.\n\rПрочитано блоков: 1, "
                                               "записей: 3; от этого блока до конца файла байт: 1600"});
  EXPECT_EQ(IndexWarningInEnglish(warnings[0]),
            "block 2 at byte 4360 is not a block (its electrodes or its channel count are out of range): 1 blocks and "
            "3 records are read; the file holds 1600 bytes from that block on");
  EXPECT_EQ(v->survey->RecordCount, 3);
  EXPECT_EQ(v->survey->BlockCount, 1);
  EXPECT_EQ(uint16_t{v->survey->RecordIndex[3].Block}, 2) << "the records keep the number of their uncounted block";
  EXPECT_EQ(v->survey->RecordIndex[3].Channel, 2);
}

class IndexLimitTest : public IndexFileTest {
 protected:
  // Curves of no samples keep a 10000-record survey small.
  TestSurvey EmptyCurveSurvey(std::vector<int> channels_per_block) {
    TestSurvey survey;
    survey.header = {1000, 0, 0, 0};
    for (int channels : channels_per_block) survey.blocks.push_back(SimpleBlock(channels));
    return survey;
  }
};

TEST_F(IndexLimitTest, FullIndexAtABlockStartReportsTheMessage) {
  EmptyCurveSurvey(std::vector<int>(501, 20)).Write(path_);
  auto v = FreshVari(path_);
  IndexReport report = OpenSurvey(*v);
  EXPECT_EQ(v->survey->RecordCount, 10000);
  EXPECT_EQ(v->survey->BlockCount, 500);
  EXPECT_EQ(report.warnings, std::vector<std::string>{"Слишком много данных.\n\rМаксимум=10000"});

  EmptyCurveSurvey(std::vector<int>(500, 20)).Write(path_);
  IndexReport exact = OpenSurvey(*v);
  EXPECT_EQ(v->survey->RecordCount, 10000);
  EXPECT_TRUE(exact.warnings.empty()) << "a survey that just fits reports nothing";
}

TEST_F(IndexLimitTest, FullIndexInsideABlockKeepsRecordsUpToTheLimit) {
  std::vector<int> blocks(999, 10);  // 9990 records
  blocks.push_back(20);
  EmptyCurveSurvey(blocks).Write(path_);
  auto v = FreshVari(path_);
  IndexReport report = OpenSurvey(*v);
  EXPECT_EQ(v->survey->RecordCount, 10000);
  EXPECT_EQ(v->survey->BlockCount, 999);
  EXPECT_EQ(v->survey->RecordIndex[10000].Channel, 10);
  EXPECT_EQ(report.warnings.size(), 1u);
}

TEST_F(IndexLimitTest, BlockNumberWrapsAt65536) {
  std::vector<int> blocks(65537, 0);
  blocks.push_back(1);
  auto v = Index(EmptyCurveSurvey(blocks));
  EXPECT_EQ(v->survey->BlockCount, 65538);
  ASSERT_EQ(v->survey->RecordCount, 1);
  EXPECT_EQ(uint16_t{v->survey->RecordIndex[1].Block}, 2);
}

TEST_F(IndexFileTest, UnusableHeadersAreRefusedWithTheirReason) {
  TestSurvey survey = OneBlockOneChannel();
  survey.electrodes.assign(300, 1.0f);
  EXPECT_EQ(IndexError(survey), "Invalid electrode count 300");
  survey.electrodes.assign(129, 1.0f);
  EXPECT_EQ(IndexError(survey), "Invalid electrode count 129");
  survey.electrodes.assign(128, 1.0f);
  survey.blocks[0].a = 128;
  EXPECT_EQ(Index(survey)->survey->RecordIndex[1].A, 128) << "128 electrodes is the table's capacity, not beyond it";

  survey = OneBlockOneChannel();
  survey.Write(path_);
  PatchInt32(path_, 4112, -1);
  auto v = FreshVari(path_);
  EXPECT_THROW(OpenSurvey(*v), InOutError);

  survey = OneBlockOneChannel();
  survey.header = {1000, -10, 1, 2};
  EXPECT_EQ(IndexError(survey), "Invalid samples per curve -36");
  survey.header = {1000, 1 << 28, 0, 2};  // 2^30 samples: 2^32 bytes per curve
  EXPECT_EQ(IndexError(survey), "Invalid samples per curve 1073741824");
  survey.header = {1000, 1 << 30, 1 << 30, 2};  // wraps to 0 in 32 bits
  EXPECT_EQ(IndexError(survey), "Invalid samples per curve 8589934592");
  survey.header = {1000, 0x7FFFFFFF, 0x7FFFFFFF, 0x7FFFFFFF};  // beyond 64 bits
  EXPECT_EQ(IndexError(survey), "Invalid samples per curve 9223372036854775807");
  survey.header = {1000, 0, 0, 1000000};  // empty curves, endless processing
  EXPECT_EQ(IndexError(survey), "Invalid period count 1000000");
}

TEST_F(IndexFileTest, HugeCurvesOnASmallFileAllocateNothing) {
  TestSurvey survey = OneBlockOneChannel();
  survey.Write(path_);
  PatchInt32(path_, 4100, 50000000);  // S = 2 x 50000001 x 2, far beyond the file
  auto v = IndexPath();
  EXPECT_EQ(v->survey->RecordCount, 0);
  EXPECT_EQ(v->work.CurrentSamples.capacity(), 0u);
  EXPECT_LT(v->work.AvgI.capacity(), 1000u);
}

}  // namespace
