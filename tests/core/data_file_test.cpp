#include "measurement/data_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <mutex>

#include "analysis/file_check.h"
#include "measurement/in_out_error.h"
#include "measurement/index_file.h"
#include "measurement/record_loader.h"
#include "platform/file_system.h"
#include "processing/record_evaluation.h"
#include "test_support.h"

namespace {

std::string OpenError(const std::string& path) {
  DataFile file;
  try {
    file.Open(path);
  } catch (const InOutError& error) {
    EXPECT_FALSE(file.IsOpen());
    return error.what();
  }
  return "opened";
}

TEST(DataFile, MissingFileIsNotFound) {
  TempDir dir;
  EXPECT_EQ(OpenError(dir.File("absent.qmr")), "File not found");
  EXPECT_EQ(OpenError(dir.File("no/such/folder.qmr")), "File not found");
}

// Nothing ever writes a survey, so every open asks for reading only: a survey on a
// write-protected card or share opens like any other, for root and everyone else.
TEST(DataFile, SurveysAreOpenedForReadingOnly) {
  TempDir dir;
  const std::string survey = dir.File("survey.qmr");
  TestSurvey protected_survey;
  protected_survey.blocks = {SimpleBlock(2)};
  protected_survey.Write(survey);
  chmod(survey.c_str(), 0444);
  std::vector<std::string> opened;
  platform::CallObserver previous = platform::SetCallObserver([&](const std::string& call) {
    if (call.rfind("OpenFile ", 0) == 0) opened.push_back(call);
  });
  auto v = FreshVari(survey);
  EXPECT_NO_THROW({
    OpenSurvey(*v);
    DataFileSession session(v->work.DataFile, survey);
    LoadRecordSamples(*v->survey, v->work, 2, false);
  });
  platform::SetCallObserver(previous);
  EXPECT_EQ(v->survey->RecordCount, 2);
  EXPECT_EQ(opened, std::vector<std::string>(2, "OpenFile rb " + survey));
  // A folder is still no survey.
  try {
    OpenSurvey(*v, dir.Path().string());
    ADD_FAILURE() << "a folder indexed";
  } catch (const InOutError& error) {
    EXPECT_STREQ(error.what(), "File access denied");
  }
}

TEST(DataFile, OtherSystemErrorsCarryTheirNumber) {
  InOutError error = InOutError::FromErrno(EIO);
  EXPECT_EQ(error.code(), EIO);
  EXPECT_EQ(std::string(error.what()), "I/O error " + std::to_string(EIO));
  EXPECT_STREQ(InOutError::FromErrno(ENOSPC).what(), "Disk full");
}

TEST(DataFile, ReadsPositionsAndEnds) {
  TempDir dir;
  std::vector<unsigned char> bytes{1, 2, 3, 4, 5};
  WriteWholeFile(dir.File("f"), bytes);
  DataFile file;
  file.Open(dir.File("f"));
  EXPECT_EQ(file.Size(), 5);
  file.Seek(3);
  unsigned char buffer[4] = {};
  EXPECT_EQ(file.Read(buffer, 4), 2u);
  EXPECT_EQ(buffer[0], 4);
  EXPECT_TRUE(file.Eof());
  file.Seek(2);
  EXPECT_THROW(file.ReadExact(buffer, 4), InOutError);
  file.Close();
  EXPECT_FALSE(file.IsOpen());
}

// Scattered pieces come each from its own offset, more than one round's worth of them,
// and a piece that runs past the end says how much of it came.
TEST(DataFile, ScatteredReadsComeFromTheirOffsets) {
  TempDir dir;
  std::vector<unsigned char> bytes(1000);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<unsigned char>(i * 7 + i / 256);
  WriteWholeFile(dir.File("f"), bytes);
  DataFile file;
  file.Open(dir.File("f"));
  file.Seek(5);
  std::vector<std::array<unsigned char, 12>> pieces(45);
  std::vector<platform::ScatteredRead> reads;
  for (size_t i = 0; i < pieces.size(); ++i)
    reads.push_back({static_cast<int64_t>(983 - 22 * i), pieces[i].data(), 4 + i % 9, -1});
  file.ReadScattered(reads);
  EXPECT_EQ(file.Position(), 5);
  for (size_t i = 0; i < pieces.size(); ++i) {
    const size_t offset = 983 - 22 * i;
    ASSERT_EQ(reads[i].got, static_cast<int64_t>(std::min(reads[i].count, bytes.size() - offset))) << i;
    EXPECT_TRUE(std::equal(pieces[i].begin(), pieces[i].begin() + reads[i].got, bytes.begin() + offset)) << i;
  }
}

// Indexing asks for the header, the electrode table and the first block's fields in a
// read each, then for a block's channel headers and the next block's fields in one round,
// and the pass for each block in one read: a check of blocks of twenty channels asks the
// system for a read or a round of reads about once in every ten records.
TEST(DataFile, CheckReadsEachBlockOnceOrTwice) {
  TempDir dir;
  TestSurvey survey;
  survey.electrodes = {10.0f, 20.0f, 30.0f};
  for (int b = 0; b < 12; ++b) {
    TestBlock block = SimpleBlock(MaxChannels);
    for (int c = 0; c < MaxChannels; ++c) block.channels[static_cast<size_t>(c)].n = 2 + (b + c) % 2;
    survey.blocks.push_back(block);
  }
  survey.Write(dir.File("s.qmr"));
  std::mutex mutex;  // the pass reads on a thread of its own
  int reads = 0;
  platform::CallObserver previous = platform::SetCallObserver([&](const std::string& call) {
    std::lock_guard lock(mutex);
    reads += call == "ReadAt" || call == "ReadQueue";
  });
  const SharedSurvey v = OpenSurvey(dir.File("s.qmr")).survey;
  std::vector<int> checked;
  CheckFile(*v, {}, [&](const CheckPoint& point) { checked.push_back(point.record); });
  platform::SetCallObserver(previous);
  ASSERT_EQ(v->RecordCount, 12 * MaxChannels);
  EXPECT_EQ(checked.size(), 12u * MaxChannels);
  EXPECT_EQ(v->RecordIndex[12 * MaxChannels].N, 2 + (11 + MaxChannels - 1) % 2);
  EXPECT_LE(reads, 3 + 2 * 12);
}

TEST(DataFile, FailedIndexingClosesTheFile) {
  TempDir dir;
  TestSurvey{}.Write(dir.File("s.qmr"));
  Truncate(dir.File("s.qmr"), 4110);
  auto v = FreshVari(dir.File("s.qmr"));
  EXPECT_THROW(OpenSurvey(*v), InOutError);
  EXPECT_FALSE(v->work.DataFile.IsOpen());
}

}  // namespace
