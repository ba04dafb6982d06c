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
    ASSERT_EQ(v_->RecordCount, 3);
  }
  void Load(int k, bool flip) {
    DataFileSession session(v_->DataFile, v_->DataFileName);
    LoadRecordSamples(*v_, k, flip);
  }

  TempDir dir_;
  std::string path_ = dir_.File("survey.qmr");
  std::unique_ptr<Vari> v_;
};

TEST_F(RecordLoaderTest, ScalesToMilliunitsInSinglePrecision) {
  Load(1, false);
  EXPECT_EQ(v_->CurrentSamples[0], 0.0015f * 1000.0f);
  EXPECT_FLOAT_EQ(v_->CurrentSamples[0], 1.5f);
  EXPECT_EQ(v_->VoltageSamples[1], -500.0f);
  EXPECT_EQ(v_->VoltageSamples[7], 0.001f * 1000.0f);
}

TEST_F(RecordLoaderTest, SignOptionTurnsTheVoltageOnly) {
  Load(1, false);
  auto current = v_->CurrentSamples;
  auto voltage = v_->VoltageSamples;
  Load(1, true);
  EXPECT_EQ(v_->CurrentSamples, current);
  for (size_t i = 0; i < voltage.size(); ++i) EXPECT_EQ(v_->VoltageSamples[i], -voltage[i]);
}

TEST_F(RecordLoaderTest, SharedCurrentCurveGivesTheSameArraysAsFreshReads) {
  std::vector<std::vector<float>> fresh;
  for (int k = 1; k <= 3; ++k) {
    Load(k, false);
    fresh.push_back(v_->CurrentSamples);
    fresh.push_back(v_->VoltageSamples);
  }
  DataFileSession session(v_->DataFile, v_->DataFileName);
  for (int k = 1; k <= 3; ++k) {
    LoadRecordSamples(*v_, k, false);
    EXPECT_EQ(v_->CurrentSamples, fresh[2 * (k - 1)]) << k;
    EXPECT_EQ(v_->VoltageSamples, fresh[2 * (k - 1) + 1]) << k;
  }
}

// The curve kept from one open is never taken for the file's content at the next: the
// file may have changed between them.
TEST_F(RecordLoaderTest, ChangedFileIsReadAgainAtTheNextOpen) {
  Load(1, false);
  EXPECT_EQ(v_->CurrentSamples[0], 1.5f);
  WriteSurveyFloat(path_, v_->RecordIndex[1].CurrentOffset, 0.004f);
  Load(2, false);  // the same block's current curve, in a new session of the file
  EXPECT_EQ(v_->CurrentSamples[0], 4.0f);

  // Within one session its means are reused, but only for the same averaging.
  DataFileSession session(v_->DataFile, v_->DataFileName);
  v_->HalfPeriod = 1, v_->PeriodCount = 1, v_->WindowLen = 1;
  EvaluateRecord(*v_, 1, {});
  const double first = v_->RecordResult.MeanI;
  v_->WindowLen = 2;
  EvaluateRecord(*v_, 2, {});
  EXPECT_NE(v_->RecordResult.MeanI, first) << "means of another window length were reused";
}

// Curves read ahead on a second thread are exactly the curves read on the spot, in
// order or not, and a file that shrank fails the same way.
TEST_F(RecordLoaderTest, CurvesReadAheadAreTheCurvesReadOnTheSpot) {
  std::vector<std::vector<float>> direct;
  for (int k = 1; k <= 3; ++k) {
    Load(k, true);
    direct.push_back(v_->CurrentSamples);
    direct.push_back(v_->VoltageSamples);
  }
  // Block 1 at 4148: its current at 4160, voltages 136 + 32 bytes apart; block 2 at 4528.
  EXPECT_EQ(PassCurveOffsets(*v_), (std::vector<int64_t>{4160, 4328, 4496, 4540, 4708}));
  for (std::vector<int> order : {std::vector<int>{1, 2, 3}, std::vector<int>{2, 1, 3}}) {
    DataFileSession session(v_->DataFile, v_->DataFileName);
    PassReadAhead read_ahead(*v_);
    ASSERT_NE(v_->ReadAhead, nullptr);
    for (int k : order) {
      LoadRecordSamples(*v_, k, true);
      EXPECT_EQ(v_->CurrentSamples, direct[2 * (k - 1)]) << k;
      EXPECT_EQ(v_->VoltageSamples, direct[2 * (k - 1) + 1]) << k;
    }
  }
  EXPECT_EQ(v_->ReadAhead, nullptr);

  Truncate(path_, std::filesystem::file_size(path_) - 4);
  DataFileSession session(v_->DataFile, v_->DataFileName);
  PassReadAhead read_ahead(*v_);
  LoadRecordSamples(*v_, 1, false);
  LoadRecordSamples(*v_, 2, false);
  try {
    LoadRecordSamples(*v_, 3, false);
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
  EXPECT_FALSE(v_->DataFile.IsOpen());
}

TEST_F(RecordLoaderTest, IdentificationLine) {
  EXPECT_EQ(RecordIdentification(v_->RecordIndex[2]), "A=1  B=2  M=2  N=1    nCh=2  nImp=1");
  EXPECT_EQ(RecordIdentification(v_->RecordIndex[3]), "A=0  B=2  M=2  N=0    nCh=1  nImp=2");
}

TEST(RecordLoader, EmptyCurvesReadNothing) {
  TempDir dir;
  TestSurvey survey;
  survey.header = {1000, 0, 0, 1};
  survey.blocks = {SimpleBlock(2)};
  survey.Write(dir.File("s.qmr"));
  auto v = FreshVari(dir.File("s.qmr"));
  OpenSurvey(*v);
  ASSERT_EQ(v->RecordCount, 2);
  DataFileSession session(v->DataFile, v->DataFileName);
  EvaluateRecord(*v, 2, {});
  EXPECT_TRUE(v->VoltageSamples.empty());
  EXPECT_TRUE(std::isnan(v->RecordResult.ErrorPct)) << "no window holds a sample: no answer";
}

}  // namespace
