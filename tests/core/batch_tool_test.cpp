// The batch tool as a user runs it: its output, its exit codes and its files.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>

#include "measurement/survey_writer.h"
#include "test_support.h"

namespace {

struct BatchRun {
  int status;
  std::string out;
};

BatchRun Batch(const std::string& arguments) {
  std::string command = std::string(VOSTREL_BATCH) + " " + arguments + " 2>&1";
  std::FILE* pipe = popen(command.c_str(), "r");
  BatchRun run{-1, ""};
  std::array<char, 4096> buffer;
  size_t got;
  while ((got = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) run.out.append(buffer.data(), got);
  int status = pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

class BatchToolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(Batch("synth --blocks 3 --channels 4 --periods 2 --seed 5 " + survey_).status, 0);
  }
  TempDir dir_;
  std::string survey_ = dir_.File("survey.qmr");
};

TEST_F(BatchToolTest, InfoDescribesTheSurvey) {
  BatchRun run = Batch("info " + survey_);
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("samples_per_curve: 8000\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("records: 12\n"), std::string::npos);
  EXPECT_NE(run.out.find("blocks: 3\n"), std::string::npos);
}

TEST_F(BatchToolTest, SynthIsDeterministic) {
  ASSERT_EQ(Batch("synth --blocks 3 --channels 4 --periods 2 --seed 5 " + dir_.File("again.qmr")).status, 0);
  EXPECT_EQ(ReadWholeFile(survey_), ReadWholeFile(dir_.File("again.qmr")));
  ASSERT_EQ(Batch("synth --blocks 3 --channels 4 --periods 2 --seed 6 " + dir_.File("other.qmr")).status, 0);
  EXPECT_NE(ReadWholeFile(survey_), ReadWholeFile(dir_.File("other.qmr")));
}

TEST_F(BatchToolTest, RecordPrintsIdentificationAndSummary) {
  BatchRun run = Batch("record " + survey_ + " 2");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out.substr(0, run.out.find('\n')), "A=1  B=2  M=4  N=5    nCh=2  nImp=1");
  EXPECT_EQ(run.out.find("dU="), run.out.find('\n') + 1);
  EXPECT_NE(run.out.find("%    I="), std::string::npos);

  BatchRun flipped = Batch("record --flip-sign " + survey_ + " 2");
  EXPECT_NE(flipped.out.find("dU=-"), std::string::npos) << flipped.out;

  EXPECT_EQ(Batch("record " + survey_ + " 13").status, 1);
  EXPECT_EQ(Batch("record " + survey_ + " 0").status, 1);
  EXPECT_EQ(Batch("record " + survey_ + " x").status, 2);
}

TEST_F(BatchToolTest, ExportGoesOnPastAFailedFile) {
  BatchRun run = Batch("export " + dir_.File("absent.qmr") + " " + survey_);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find(dir_.File("absent.qmr") + ": File not found"), std::string::npos) << run.out;
  EXPECT_TRUE(std::filesystem::exists(dir_.File("survey.TXT")));
  EXPECT_EQ(Batch("export --csv " + survey_).status, 0);
  EXPECT_TRUE(std::filesystem::exists(dir_.File("survey.csv")));
}

TEST_F(BatchToolTest, CheckCountsTheClasses) {
  BatchRun run = Batch("check " + survey_);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out.rfind("1 ", 0), 0u) << run.out;
  EXPECT_NE(run.out.find("\nblue: "), std::string::npos);
  EXPECT_NE(run.out.find("\nblack: "), std::string::npos);
  BatchRun flipped = Batch("check --flip-sign " + survey_);
  EXPECT_NE(flipped.out.find("black: 12"), std::string::npos) << flipped.out;
}

TEST(BatchTool, UsageErrorsExitTwo) {
  EXPECT_EQ(Batch("").status, 2);
  EXPECT_EQ(Batch("frobnicate").status, 2);
  EXPECT_EQ(Batch("info").status, 2);
  EXPECT_EQ(Batch("export --bogus x.qmr").status, 2);
  BatchRun help = Batch("--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("vostrel-batch check"), std::string::npos);
}

}  // namespace
