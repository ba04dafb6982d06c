#include "measurement/record_loader.h"

#include <gtest/gtest.h>

#include <cmath>

#include "measurement/in_out_error.h"
#include "measurement/index_file.h"
#include "measurement/record_identification.h"
#include "processing/record_evaluation.h"
#include "test_support.h"

namespace {

class RecordLoaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TestSurvey survey;  // S = 8
    TestBlock block;
    block.current = {0.0015f, 0.001f, 0, 0, 0.0015f, 0.001f, 0, 0};
    block.channels = {TestChannel{1, 2, {0.25f, -0.5f, 0, 0, 0, 0, 0, 0.001f}},
                      TestChannel{2, 1, {1, 2, 3, 4, 5, 6, 7, 8}}};
    TestBlock second;
    second.a = 0;
    second.current.assign(8, 0.002f);
    second.channels = {TestChannel{2, 0, std::vector<float>(8, 0.003f)}};
    survey.blocks = {block, second};
    survey.Write(path_);
    v_ = FreshVari(path_);
    OpenSurvey(*v_);
    ASSERT_EQ(v_->survey->RecordCount, 3);
  }
  void Load(int k, bool flip) {
    DataFileSession session(v_->work.DataFile, v_->survey->DataFileName);
    LoadRecordSamples(*v_->survey, v_->work, k, flip);
  }

  TempDir dir_;
  std::string path_ = dir_.File("survey.qmr");
  std::unique_ptr<Vari> v_;
};

TEST_F(RecordLoaderTest, ScalesToMilliunitsInSinglePrecision) {
  Load(1, false);
  EXPECT_EQ(v_->work.CurrentSamples[0], 0.0015f * 1000.0f);
  EXPECT_FLOAT_EQ(v_->work.CurrentSamples[0], 1.5f);
  EXPECT_EQ(v_->work.VoltageSamples[1], -500.0f);
  EXPECT_EQ(v_->work.VoltageSamples[7], 0.001f * 1000.0f);
}

TEST_F(RecordLoaderTest, SignOptionTurnsTheVoltageOnly) {
  Load(1, false);
  auto current = v_->work.CurrentSamples;
  auto voltage = v_->work.VoltageSamples;
  Load(1, true);
  EXPECT_EQ(v_->work.CurrentSamples, current);
  for (size_t i = 0; i < voltage.size(); ++i) EXPECT_EQ(v_->work.VoltageSamples[i], -voltage[i]);
}

TEST_F(RecordLoaderTest, SharedCurrentCurveGivesTheSameArraysAsFreshReads) {
  std::vector<std::vector<float>> fresh;
  for (int k = 1; k <= 3; ++k) {
    Load(k, false);
    fresh.push_back(v_->work.CurrentSamples);
    fresh.push_back(v_->work.VoltageSamples);
  }
  DataFileSession session(v_->work.DataFile, v_->survey->DataFileName);
  for (int k = 1; k <= 3; ++k) {
    LoadRecordSamples(*v_->survey, v_->work, k, false);
    EXPECT_EQ(v_->work.CurrentSamples, fresh[2 * (k - 1)]) << k;
    EXPECT_EQ(v_->work.VoltageSamples, fresh[2 * (k - 1) + 1]) << k;
  }
}

// The curve kept from one open is never taken for the file's content at the next: the
// file may have changed between them.
TEST_F(RecordLoaderTest, ChangedFileIsReadAgainAtTheNextOpen) {
  Load(1, false);
  EXPECT_EQ(v_->work.CurrentSamples[0], 1.5f);
  WriteSurveyFloat(path_, v_->survey->RecordIndex[1].CurrentOffset, 0.004f);
  Load(2, false);  // the same block's current curve, in a new session of the file
  EXPECT_EQ(v_->work.CurrentSamples[0], 4.0f);

  // Within one session its means are reused, but only for the same averaging.
  DataFileSession session(v_->work.DataFile, v_->survey->DataFileName);
  auto changed = std::make_unique<Survey>(*v_->survey);
  changed->HalfPeriod = 1, changed->PeriodCount = 1, changed->WindowLen = 1;
  const double first = EvaluateRecord(*changed, v_->work, 1, {}).result.MeanI;
  changed->WindowLen = 2;
  EXPECT_NE(EvaluateRecord(*changed, v_->work, 2, {}).result.MeanI, first)
      << "means of another window length were reused";
}

// Curves read ahead on a second thread are exactly the curves read on the spot, in
// order or not, and a file that shrank fails the same way.
TEST_F(RecordLoaderTest, CurvesReadAheadAreTheCurvesReadOnTheSpot) {
  std::vector<std::vector<float>> direct;
  for (int k = 1; k <= 3; ++k) {
    Load(k, true);
    direct.push_back(v_->work.CurrentSamples);
    direct.push_back(v_->work.VoltageSamples);
  }
  // Block 1 at 4148: its current at 4160, voltages 136 + 32 bytes apart; block 2 at 4528,
  // read on from there over its 12 header bytes.
  std::vector<std::pair<int64_t, int64_t>> blocks;
  for (const BlockReadAhead::Range& block : PassBlocks(*v_->survey)) blocks.emplace_back(block.start, block.end);
  EXPECT_EQ(blocks, (std::vector<std::pair<int64_t, int64_t>>{{4160, 4528}, {4528, 4740}}));
  for (std::vector<int> order : {std::vector<int>{1, 2, 3}, std::vector<int>{2, 1, 3}}) {
    DataFileSession session(v_->work.DataFile, v_->survey->DataFileName);
    PassReadAhead read_ahead(*v_->survey, v_->work);
    ASSERT_NE(v_->work.ReadAhead, nullptr);
    for (int k : order) {
      LoadRecordSamples(*v_->survey, v_->work, k, true);
      EXPECT_EQ(v_->work.CurrentSamples, direct[2 * (k - 1)]) << k;
      EXPECT_EQ(v_->work.VoltageSamples, direct[2 * (k - 1) + 1]) << k;
    }
  }
  EXPECT_EQ(v_->work.ReadAhead, nullptr);

  Truncate(path_, std::filesystem::file_size(path_) - 4);
  DataFileSession session(v_->work.DataFile, v_->survey->DataFileName);
  PassReadAhead read_ahead(*v_->survey, v_->work);
  LoadRecordSamples(*v_->survey, v_->work, 1, false);
  LoadRecordSamples(*v_->survey, v_->work, 2, false);
  try {
    LoadRecordSamples(*v_->survey, v_->work, 3, false);
    FAIL() << "a short curve was accepted";
  } catch (const InOutError& error) {
    EXPECT_STREQ(error.what(), "Read beyond end of file");
  }
}

TEST_F(RecordLoaderTest, ShrunkFileIsReadBeyondEnd) {
  Truncate(path_, std::filesystem::file_size(path_) - 4);
  try {
    Load(3, false);
    FAIL() << "a short curve was accepted";
  } catch (const InOutError& error) {
    EXPECT_STREQ(error.what(), "Read beyond end of file");
  }
  EXPECT_FALSE(v_->work.DataFile.IsOpen());
}

TEST_F(RecordLoaderTest, IdentificationLine) {
  EXPECT_EQ(RecordIdentification(v_->survey->RecordIndex[2]), "A=1  B=2  M=2  N=1    nCh=2  nImp=1");
  EXPECT_EQ(RecordIdentification(v_->survey->RecordIndex[3]), "A=0  B=2  M=2  N=0    nCh=1  nImp=2");
}

TEST(RecordLoader, EmptyCurvesReadNothing) {
  TempDir dir;
  TestSurvey survey;
  survey.header = {1000, 0, 0, 1};
  survey.blocks = {SimpleBlock(2)};
  survey.Write(dir.File("s.qmr"));
  auto v = FreshVari(dir.File("s.qmr"));
  OpenSurvey(*v);
  ASSERT_EQ(v->survey->RecordCount, 2);
  DataFileSession session(v->work.DataFile, v->survey->DataFileName);
  v->RecordResult = EvaluateRecord(*v->survey, v->work, 2, {});
  EXPECT_TRUE(v->work.VoltageSamples.empty());
  EXPECT_TRUE(std::isnan(v->RecordResult.result.ErrorPct)) << "no window holds a sample: no answer";
}

}  // namespace
