#include "measurement/data_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "measurement/in_out_error.h"
#include "measurement/index_file.h"
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

TEST(DataFile, FileThatCannotBeWrittenIsAccessDenied) {
  TempDir dir;
  TestSurvey{}.Write(dir.File("survey.qmr"));
  // A folder can never be opened for writing, not even by root.
  EXPECT_EQ(OpenError(dir.Path().string()), "File access denied");
  const std::string survey = dir.File("survey.qmr");
  if (geteuid() != 0) {
    chmod(survey.c_str(), 0444);
    EXPECT_EQ(OpenError(survey), "File access denied");
  } else if (std::system(("chattr +i " + survey + " 2>/dev/null").c_str()) == 0) {
    // Root writes any file except an immutable one.
    std::string error = OpenError(survey);
    std::system(("chattr -i " + survey).c_str());
    EXPECT_EQ(error, "File access denied");
  }
  if (access("/sys/kernel/notes", F_OK) == 0) {
    EXPECT_EQ(OpenError("/sys/kernel/notes"), "File access denied");
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
