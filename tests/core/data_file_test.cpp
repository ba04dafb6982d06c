#include "measurement/data_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "measurement/in_out_error.h"
#include "measurement/index_file.h"
#include "measurement/record_loader.h"
#include "platform/file_system.h"
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

TEST(DataFile, FailedIndexingClosesTheFile) {
  TempDir dir;
  TestSurvey{}.Write(dir.File("s.qmr"));
  Truncate(dir.File("s.qmr"), 4110);
  auto v = FreshVari(dir.File("s.qmr"));
  EXPECT_THROW(OpenSurvey(*v), InOutError);
  EXPECT_FALSE(v->work.DataFile.IsOpen());
}

}  // namespace
