// The batch tool as a user runs it: its output, its exit codes and its files.

#include <gtest/gtest.h>
#include <pty.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <limits>
#include <map>
#include <numbers>
#include <regex>
#include <set>
#include <sstream>

#include "formats/plain_number.h"
#include "line/line_project.h"
#include "measurement/file_format.h"
#include "measurement/survey_writer.h"
#include "peer_readers.h"
#include "test_support.h"
#include "vostrel_batch/command_line.h"
#include "vostrel_batch/json_output.h"

namespace {

struct BatchRun {
  int status;
  std::string out;
};

// The home folder the batch tool runs with: one of the test's own, so that nothing a
// run keeps lands in the home of whoever runs the tests.
const std::filesystem::path& BatchHome() {
  static const TempDir home;
  return home.Path();
}

BatchRun Batch(const std::string& arguments) {
  const std::string home = BatchHome().string();
  std::string command = "HOME='" + home + "' XDG_CONFIG_HOME='" + home + "/.config' " + std::string(VOSTREL_BATCH) +
                        " " + arguments + " 2>&1";
  std::FILE* pipe = popen(command.c_str(), "r");
  BatchRun run{-1, ""};
  std::array<char, 4096> buffer;
  size_t got;
  while ((got = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) run.out.append(buffer.data(), got);
  int status = pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

// Standard output and standard error apart, for what help and version must not write.
struct SeparateRun {
  int status;
  std::string out, err;
};

SeparateRun BatchApart(const std::string& arguments, const std::string& program = VOSTREL_BATCH) {
  static const TempDir streams;
  const std::string err = streams.File("err");
  BatchRun run = Batch("--version >/dev/null; { " + program + " " + arguments + " 2>'" + err + "'; }");
  const std::vector<unsigned char> bytes = ReadWholeFile(err);
  return {run.status, run.out, std::string(bytes.begin(), bytes.end())};
}

// What a person at a terminal sees: the tool's standard output and error on a terminal
// of its own, in the folder given.
BatchRun OnTerminal(const std::vector<std::string>& arguments, const std::string& folder) {
  int terminal = -1;
  const pid_t child = forkpty(&terminal, nullptr, nullptr, nullptr);
  if (child == 0) {
    std::vector<char*> argv{const_cast<char*>(VOSTREL_BATCH)};
    for (const std::string& word : arguments) argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    setenv("HOME", BatchHome().c_str(), 1);
    if (chdir(folder.c_str()) != 0) _exit(126);
    execv(VOSTREL_BATCH, argv.data());
    _exit(127);
  }
  BatchRun run{-1, ""};
  std::array<char, 4096> buffer;
  ssize_t got;
  while ((got = read(terminal, buffer.data(), buffer.size())) > 0) run.out.append(buffer.data(), size_t(got));
  int status = 0;
  waitpid(child, &status, 0);
  close(terminal);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

// The peak memory of one run of the batch tool, in MiB, and its exit status.
struct MeasuredRun {
  int status;
  double peak_mib;
};

MeasuredRun Measured(const std::vector<std::string>& arguments) {
  const std::filesystem::path home = BatchHome();
  pid_t child = fork();
  if (child == 0) {
    std::vector<char*> argv{const_cast<char*>(VOSTREL_BATCH)};
    for (const std::string& word : arguments) argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    std::freopen("/dev/null", "w", stdout);
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home / ".config").c_str(), 1);
    execv(VOSTREL_BATCH, argv.data());
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  wait4(child, &status, 0, &usage);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, static_cast<double>(usage.ru_maxrss) / 1024};
}

// The sanitizers' own shadow memory makes peak figures meaningless.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool MemoryIsMeasurable = false;
#else
constexpr bool MemoryIsMeasurable = true;
#endif

class BatchToolTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(Batch("synth --blocks 3 --channels 4 --periods 2 --seed 5 " + survey_).status, 0); }
  TempDir dir_;
  std::string survey_ = dir_.File("survey.qmr");
};

// info names its units; with --json the same values are numbers.
TEST_F(BatchToolTest, InfoDescribesTheSurvey) {
  ASSERT_EQ(Batch("synth --force --blocks 3 --channels 4 --periods 2 --sample-rate 2000 --half-period 500 "
                  "--second-length 300 " +
                  survey_)
                .status,
            0);
  BatchRun run = Batch("info " + survey_);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "file: " + survey_ +
                         "\nsample_rate: 2000 Hz\nhalf_period: 500 samples (250 ms)\nsecond_length: 300 samples (150 "
                         "ms)\nperiod_count: 2\nsamples_per_curve: 3200 samples (1600 ms)\nelectrodes: 48\nrecords: "
                         "12\nblocks: 3\nwindow_len: 160 samples (80 ms)\n");
  const Json info = Json::parse(Batch("info --json " + survey_).out);
  EXPECT_EQ(info[json_key::HalfPeriodMs], 250.0);
  EXPECT_EQ(info[json_key::SecondLengthSamples], 300);
  EXPECT_EQ(info[json_key::RecordCount], 12);
  EXPECT_EQ(info[json_key::WindowLen], 160);
}

// What synth says it wrote is what the file is found to hold: a Wenner layout has one
// channel a block, and reciprocals add a block of one channel each.
TEST_F(BatchToolTest, SynthSaysWhatTheFileHolds) {
  const std::string file = dir_.File("layout.qmr");
  for (const char* options : {"--layout wenner --channels 3 --blocks 5", "--blocks 2 --channels 6",
                              "--layout dipole-dipole --reciprocal --blocks 3 --channels 4"}) {
    SCOPED_TRACE(options);
    const BatchRun synth = Batch(std::string("synth --force --periods 1 ") + options + " " + file);
    ASSERT_EQ(synth.status, 0);
    const std::string info = Batch("info " + file).out;
    auto field = [&](const std::string& name) {
      const size_t at = info.find("\n" + name + ": ");
      return at == std::string::npos
                 ? std::string("?")
                 : info.substr(at + name.size() + 3, info.find('\n', at + 1) - at - name.size() - 3);
    };
    EXPECT_EQ(synth.out, file + ": " + field("blocks") + " blocks, " + field("records") + " records\n") << info;
  }
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

  BatchRun last = Batch("record " + survey_ + " 12");
  EXPECT_EQ(last.status, 0) << "the last record is a record";
  EXPECT_EQ(last.out.substr(0, last.out.find('\n')), "A=3  B=4  M=8  N=9    nCh=4  nImp=3");
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

  // Into another folder under the same names, as a survey on a write-protected card needs.
  std::filesystem::create_directory(dir_.File("tables"));
  std::filesystem::remove(dir_.File("survey.TXT"));
  run = Batch("export --out-dir " + dir_.File("tables") + " " + survey_);
  EXPECT_EQ(run.out.rfind(dir_.File("tables/survey.TXT") + ": 12 records, ", 0), 0u) << run.out;
  EXPECT_TRUE(std::filesystem::exists(dir_.File("tables/survey.TXT")));
  EXPECT_FALSE(std::filesystem::exists(dir_.File("survey.TXT")));
  EXPECT_EQ(Batch("export --format res2dinv --out-dir " + dir_.File("tables") + " " + survey_).status, 0);
  EXPECT_TRUE(std::filesystem::exists(dir_.File("tables/survey.dat")));
  EXPECT_EQ(Batch("export --out-dir " + dir_.File("absent") + " " + survey_).status, 2);
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

// Every value is checked where it is given, and the message names the option and what
// it takes; nothing is written.
TEST_F(BatchToolTest, ValuesOutOfTheirRangeAreRefusedWhereGiven) {
  const std::string out = dir_.File("a.qmr");
  struct Case {
    std::string words, says;
  };
  for (const Case& c :
       {Case{"synth --blocks 12abc " + out, "--blocks: takes a number of blocks of 0 or more, not '12abc'"},
        Case{"synth --noise 0.5x " + out, "--noise: takes a noise of 0 mV or more, not '0.5x'"},
        Case{"synth --noise -1 " + out, "--noise: takes a noise of 0 mV or more, not '-1'"},
        Case{"synth --channels 21 " + out, "--channels: takes a number of channels from 0 to 20"},
        Case{"synth --sample-rate 0 " + out, "--sample-rate: takes a rate above 0 Hz, not '0'"},
        Case{"synth --half-period 0 " + out, "--half-period: takes a number of samples above 0"},
        Case{"synth --spacing 0 " + out, "--spacing: takes a distance above 0 m, not '0'"},
        Case{"synth --spacing -5 " + out, "--spacing: takes a distance above 0 m, not '-5'"},
        Case{"synth --rho -3 " + out, "--rho: takes a resistivity above 0"},
        Case{"synth --layout ring " + out, "--layout: takes dipole-dipole, wenner, gradient or pole-dipole"},
        Case{"synth --blocks 9 --blocks 2 " + out, "--blocks is given more than once"},
        Case{"synth --force --force " + out, "--force is given more than once"},
        Case{"export --format csv --max-error -5 " + survey_, "--max-error: takes a percentage of 0 or more"},
        Case{"export --format csv --max-error nan " + survey_, "not 'nan'"},
        Case{"export --format csv --format ohm " + survey_, "--format is given more than once"},
        Case{"export --csv --format ohm " + survey_, "--format excludes --csv"},
        Case{"export --max-error 5 " + survey_, "--max-error does not apply to the text table"},
        Case{"export --format xls " + survey_, "--format: takes txt, csv, ohm or res2dinv, not 'xls'"},
        Case{"check -j 0 " + survey_, "-j: takes a number of files from 1 to 256"},
        Case{"ip --mains 50, " + survey_ + " 1", "--mains: takes frequencies in Hz"}}) {
    SCOPED_TRACE(c.words);
    const SeparateRun run = BatchApart(c.words);
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");
  }
  EXPECT_FALSE(std::filesystem::exists(out));
  EXPECT_FALSE(std::filesystem::exists(dir_.File("survey.csv")));
  EXPECT_FALSE(std::filesystem::exists(dir_.File("survey.TXT")));
  ASSERT_EQ(Batch("synth --blocks=2 --channels 20 " + out).status, 0) << "--opt=value as well";
  EXPECT_NE(Batch("info " + out).out.find("records: 40\n"), std::string::npos);
}

// Memory follows what is read, never what a header promises: a sparse survey whose
// header asks for a million periods (curves of 16 MiB) has its one record checked
// within its two curves and a few MiB, and its header read in a few MiB.
TEST(BatchTool, MemoryStaysWithinTheCurvesOfOneRecord) {
  TempDir dir;
  TestSurvey survey;
  survey.header = {1000, 1, 1, 1 << 20};  // S = 4 Mi samples
  survey.blocks = {SimpleBlock(1)};
  survey.Write(dir.File("promise.qmr"));
  MeasuredRun info = Measured({"info", dir.File("promise.qmr")});
  MeasuredRun check = Measured({"check", dir.File("promise.qmr")});
  EXPECT_EQ(info.status, 0);
  EXPECT_EQ(check.status, 0);
  if (!MemoryIsMeasurable) GTEST_SKIP() << "peak memory is not measurable under the sanitizers";
  EXPECT_LT(info.peak_mib, 16);
  EXPECT_LT(check.peak_mib, 2 * 16 + 16);
  RecordProperty("peak_mib_info", std::to_string(info.peak_mib));
  RecordProperty("peak_mib_check", std::to_string(check.peak_mib));
}

// Whatever makes one file fail is reported as FILE: text, and the others are still done.
TEST_F(BatchToolTest, EveryKindOfFailureIsReportedPerFile) {
  TestSurvey huge;
  huge.header = {1000, 1 << 24, 0, 1};  // curves of 128 MiB in a sparse file
  huge.blocks = {SimpleBlock(1)};
  huge.Write(dir_.File("huge.qmr"));
  if (MemoryIsMeasurable) {
    BatchRun run = Batch("--help >/dev/null; ulimit -v 150000; " + std::string(VOSTREL_BATCH) + " check " +
                         dir_.File("huge.qmr") + " " + survey_);
    EXPECT_NE(run.out.find(dir_.File("huge.qmr") + ": Out of memory"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\nblack: "), std::string::npos) << "the next file was still checked";
  }

  // A file-size limit makes the write fail like a full disk, and nothing is left behind.
  BatchRun limited = Batch("--help >/dev/null; ulimit -f 1; " + std::string(VOSTREL_BATCH) + " export " + survey_);
  EXPECT_NE(limited.out.find(dir_.File("survey.TXT") + ": Disk full"), std::string::npos) << limited.out;
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.Path()), {}), 2) << "no temporary file left";
}

// Damaged samples give NaN, which is printed one way only.
TEST_F(BatchToolTest, CheckPrintsNanWithoutASign) {
  const float negative_nan = -std::numeric_limits<float>::quiet_NaN();
  TestSurvey survey;
  survey.header = {1000, 60, 60, 1};
  TestBlock block = SimpleBlock(1);
  block.current.assign(240, 0.1f);
  block.channels[0].voltage.assign(240, negative_nan);
  survey.blocks = {block};
  survey.Write(dir_.File("nan.qmr"));
  for (const char* options : {"", "--flip-sign ", "--abs-du "}) {
    BatchRun run = Batch(std::string("check ") + options + dir_.File("nan.qmr"));
    EXPECT_EQ(run.out.substr(0, run.out.find('\n')), "1 nan black") << options;
  }
}

TEST(BatchTool, IndexMessagesGoToStandardErrorWithTheFileName) {
  TempDir dir;
  TestSurvey full;
  full.header = {1000, 0, 0, 0};
  full.blocks.assign(501, SimpleBlock(20));
  full.Write(dir.File("full.qmr"));
  BatchRun run = Batch("info " + dir.File("full.qmr"));
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find(dir.File("full.qmr") + ": too many records: the first 10000 are read\n"), std::string::npos)
      << run.out;
  // After the header and two electrodes (4152 bytes), blocks of 12 + 20 × 136 bytes.
  Truncate(dir.File("full.qmr"), 4152 + 8 * 2732 + 100);
  EXPECT_NE(Batch("check " + dir.File("full.qmr"))
                .out.find(dir.File("full.qmr") +
                          ": the file ends inside block 9; 8 complete blocks and 160 records are read\n"),
            std::string::npos);
  EXPECT_NE(run.out.find("records: 10000\n"), std::string::npos);
}

TEST(BatchTool, ResistivityLineAndTheExchangeFormats) {
  TempDir dir;
  const std::string survey = dir.File("dd.qmr");
  ASSERT_EQ(Batch("synth --layout dipole-dipole --rho 250 --blocks 2 --channels 3 --noise 0.01 " + survey).status, 0);
  BatchRun record = Batch("record " + survey + " 2");
  ASSERT_EQ(record.status, 0);
  // Electrodes at 0, 5, 15, 20 m: K = 2π / (1/15 - 1/10 - 1/20 + 1/15) = -376.99 m.
  const std::string third = record.out.substr(record.out.rfind("K="));
  EXPECT_EQ(third.substr(0, 14), "K=-376.99 m  R") << record.out;
  EXPECT_NE(third.find(" Ω  rhoa=250.0"), std::string::npos) << third;
  EXPECT_TRUE(third.ends_with(" Ω·m\n")) << third;

  BatchRun ohm = Batch("export --format ohm --max-error 100 " + survey);
  EXPECT_EQ(ohm.status, 0);
  EXPECT_EQ(ohm.out.rfind(dir.File("dd.ohm") + ": 6 records, ", 0), 0u) << ohm.out;
  BatchRun strict = Batch("export --format ohm --max-error 0 " + survey);
  EXPECT_EQ(strict.out.rfind(dir.File("dd.ohm") + ": 0 records, 6 left out, ", 0), 0u) << strict.out;
  EXPECT_EQ(Batch("export --format res2dinv " + survey).status, 0);
  EXPECT_TRUE(std::filesystem::exists(dir.File("dd.dat")));
}

// "Модуль dU" shows the size of a dipole-dipole survey's negative dU; its stacking error is
// the windows' own spread, as for a survey whose dU is positive, and R and ρa keep the
// measured sign, so the model's 250 Ω·m stays positive in the summary and the comma table.
TEST(BatchTool, ModulusOfDuKeepsTheSpreadAndTheMeasuredResistivity) {
  TempDir dir;
  const std::string survey = dir.File("dd.qmr");
  ASSERT_EQ(Batch("synth --layout dipole-dipole --rho 250 --blocks 2 --channels 3 --noise 0.3 " + survey).status, 0);
  const BatchRun modulus = Batch("check --abs-du " + survey), flipped = Batch("check --flip-sign " + survey);
  EXPECT_EQ(modulus.out, flipped.out);
  EXPECT_NE(modulus.out.find("black: 0\n"), std::string::npos) << modulus.out;
  EXPECT_EQ(modulus.out.find(" 200"), std::string::npos) << modulus.out;

  const BatchRun record = Batch("record --abs-du " + survey + " 2");
  EXPECT_EQ(record.out.find("dU=-"), std::string::npos) << record.out;
  EXPECT_NE(record.out.find("  rhoa=250.0"), std::string::npos) << record.out;
  ASSERT_EQ(Batch("export --abs-du --format csv " + survey).status, 0);
  std::ifstream csv(dir.File("dd.csv"));
  std::string header, line;
  std::getline(csv, header);
  std::getline(csv, line);
  // Spa.1..4, Vp, In, Dev., Sp, Rho: the measured dU, negative, and ρa of the model.
  std::vector<std::string> fields;
  std::stringstream row(line);
  for (std::string field; std::getline(row, field, ',');) fields.push_back(field);
  ASSERT_EQ(fields.size(), 9u) << line;
  EXPECT_LT(std::stod(fields[4]), 0) << line;
  EXPECT_NEAR(std::stod(fields[8]), 250, 2.5) << line;

  // A line of the survey with the option exports the same row.
  ASSERT_EQ(Batch("line new " + dir.File("l.vln") + " " + survey + " --abs-du").status, 0);
  ASSERT_EQ(Batch("line export " + dir.File("l.vln") + " --format csv").status, 0);
  std::ifstream line_csv(dir.File("l.csv"));
  std::string line_row;
  std::getline(line_csv, line_row);
  std::getline(line_csv, line_row);
  EXPECT_EQ(line_row, line);
}

// Several files at once: the same tables as one at a time, the output in the order given.
TEST_F(BatchToolTest, FilesDoneSideBySidePrintInTheirOrder) {
  std::vector<std::string> files;
  for (int seed : {1, 2, 3}) {
    files.push_back(dir_.File("s" + std::to_string(seed) + ".qmr"));
    ASSERT_EQ(
        Batch("synth --blocks 20 --channels 10 --periods 2 --seed " + std::to_string(seed) + " " + files.back()).status,
        0);
  }
  files.insert(files.begin() + 1, dir_.File("absent.qmr"));
  std::string list;
  for (const std::string& file : files) list += " " + file;
  BatchRun one = Batch("check -j 1" + list);
  BatchRun three = Batch("check -j 3" + list);
  EXPECT_EQ(three.status, 1);
  EXPECT_EQ(three.out, one.out) << "the same output in the same order";
  EXPECT_LT(three.out.find(files[0] + "\n"), three.out.find(files[2] + "\n"));
  ASSERT_EQ(Batch("export -j 1" + list).status, 1);
  std::vector<std::vector<unsigned char>> tables;
  for (int seed : {1, 2, 3}) tables.push_back(ReadWholeFile(dir_.File("s" + std::to_string(seed) + ".TXT")));
  ASSERT_EQ(Batch("export -j 3" + list).status, 1);
  for (int seed : {1, 2, 3})
    EXPECT_EQ(ReadWholeFile(dir_.File("s" + std::to_string(seed) + ".TXT")), tables[static_cast<size_t>(seed - 1)]);
  EXPECT_EQ(Batch("check -j 0 " + files[0]).status, 2);
}

TEST(BatchTool, ReciprocalPairsAndTheErrorModelInTheOhmFile) {
  TempDir dir;
  const std::string survey = dir.File("rec.qmr");
  ASSERT_EQ(
      Batch("synth --layout dipole-dipole --rho 80 --reciprocal --electrodes 40 --blocks 6 --channels 4 " + survey)
          .status,
      0);
  BatchRun run = Batch("reciprocal " + survey);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out.substr(0, run.out.find('\n')), "24 normal/reciprocal pairs among 48 records");
  // The median of the 24 printed |errors| is the mean of the 12th and 13th, the 90th
  // percentile lies 0.7 of the way from the 21st to the 22nd.
  std::istringstream lines(run.out);
  std::string line;
  std::vector<double> sizes;
  for (int header = 0; header < 2; ++header) std::getline(lines, line);
  // Each error in percent of the pair's mean |R|, as --max-reciprocal takes it.
  for (int i = 0; i < 24 && std::getline(lines, line); ++i) {
    std::istringstream columns(line);
    int normal, reciprocal;
    double r_normal, r_reciprocal, error_pct;
    columns >> normal >> reciprocal >> r_normal >> r_reciprocal >> error_pct;
    EXPECT_NEAR(error_pct, 200 * (r_reciprocal - r_normal) / (std::fabs(r_normal) + std::fabs(r_reciprocal)),
                2e-5 / std::min(std::fabs(r_normal), std::fabs(r_reciprocal)))
        << line;
    sizes.push_back(std::fabs(error_pct));
  }
  ASSERT_EQ(sizes.size(), 24u);
  std::sort(sizes.begin(), sizes.end());
  ASSERT_TRUE(std::getline(lines, line));
  EXPECT_EQ(line, "|error|: median " + PlainNumber((sizes[11] + sizes[12]) / 2, 3) + " % p90 " +
                      PlainNumber(sizes[20] + 0.7 * (sizes[21] - sizes[20]), 3) + " % max " +
                      PlainNumber(sizes[23], 3) + " %");
  const Json pairs = Json::parse(Batch("reciprocal --json " + survey).out);
  ASSERT_EQ(pairs[json_key::Pairs].size(), 24u);
  EXPECT_NEAR(pairs[json_key::ErrorMax].get<double>(), sizes[23], 1e-3 * sizes[23]);
  ASSERT_EQ(Batch("export --format ohm --error-model " + survey).status, 0);
  PeerSurvey ohm = ReadLikeOhmLoaders(dir.File("rec.ohm"));
  ASSERT_EQ(ohm.records.size(), 48u);
  // err·|R| = a + b·|R| for every record, as printed (to 4 digits), and never below 0.01 % of |R|.
  const size_t model = run.out.find("\nmodel: |ΔR| = ");
  ASSERT_NE(model, std::string::npos) << run.out;
  std::istringstream terms(run.out.substr(model + std::string("\nmodel: |ΔR| = ").size()));
  double a = 0, b = 0;
  std::string plus;
  ASSERT_TRUE(terms >> a >> plus >> b) << run.out;
  bool floored = false;
  for (const PeerRecord& record : ohm.records) {
    const double r = std::fabs(record.r), line = a + b * r;
    floored = floored || line < 1e-4 * r;
    EXPECT_NEAR(record.error * r, std::max(line, 1e-4 * r), 1e-3 * record.error * r) << record.r;
  }
  EXPECT_TRUE(floored) << "the largest resistances of this survey meet the floor";
  EXPECT_EQ(Batch("export --format csv --error-model " + survey).status, 2);
}

#ifdef VOSTREL_WITH_PLOT
// Pictures without a display: valid files of the kind asked for.
TEST_F(BatchToolTest, PlotsTheWindowsPicturesWithoutADisplay) {
  struct Case {
    std::string words, out, starts_with;
  };
  for (const Case& c : {Case{"--record 3", "record.png", "\x89PNG"}, Case{"--pseudosection rhoa", "rhoa.svg", "<?xml"},
                        Case{"--pseudosection error", "error.pdf", "%PDF-"}, Case{"--decay 2", "decay.png", "\x89PNG"},
                        Case{"--pseudosection ip", "ip.svg", "<?xml"}}) {
    BatchRun run = Batch("plot " + c.words + " " + survey_ + " " + dir_.File(c.out));
    EXPECT_EQ(run.status, 0) << c.out << ": " << run.out;
    auto bytes = ReadWholeFile(dir_.File(c.out));
    ASSERT_GT(bytes.size(), 1000u) << c.out;
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + static_cast<long>(c.starts_with.size())), c.starts_with);
  }
  EXPECT_EQ(Batch("plot --record 99 " + survey_ + " " + dir_.File("x.png")).status, 1);
  EXPECT_EQ(Batch("plot --record 1 --decay 1 " + survey_ + " " + dir_.File("x.png")).status, 2);
  EXPECT_EQ(Batch("plot " + survey_ + " " + dir_.File("x.png")).status, 2);
  const BatchRun bitmap = Batch("plot --record 1 " + survey_ + " " + dir_.File("x.bmp"));
  EXPECT_EQ(bitmap.status, 2);
  EXPECT_EQ(bitmap.out.find(survey_), std::string::npos) << "the picture's fault, not the survey's: " << bitmap.out;
  EXPECT_EQ(Batch("plot --decay 13 " + survey_ + " " + dir_.File("x.png")).out,
            survey_ + ": record 13 is not in 1..12\n");

  // Every record of a polarised survey has its M: markers filled in the scale's colours
  // (a hollow marker has no fill of its own).
  const std::string polarised = dir_.File("ip.qmr");
  ASSERT_EQ(Batch("synth --blocks 3 --channels 4 --periods 4 --rho 100 --chargeability 40 " + polarised).status, 0);
  ASSERT_EQ(Batch("plot --pseudosection ip " + polarised + " " + dir_.File("m.svg")).status, 0);
  const auto svg = ReadWholeFile(dir_.File("m.svg"));
  const std::string text(svg.begin(), svg.end());
  std::set<std::string> colours;
  const std::regex fill("fill=\"#([0-9a-f]{2})([0-9a-f]{2})([0-9a-f]{2})\"");
  for (auto it = std::sregex_iterator(text.begin(), text.end(), fill); it != std::sregex_iterator(); ++it) {
    const int r = std::stoi((*it)[1], nullptr, 16), g = std::stoi((*it)[2], nullptr, 16),
              b = std::stoi((*it)[3], nullptr, 16);
    if (std::max({r, g, b}) - std::min({r, g, b}) > 60) colours.insert((*it).str());
  }
  EXPECT_GE(colours.size(), 6u) << "the markers of 12 records' M";
  const std::filesystem::path settings = BatchHome() / ".config";
  EXPECT_FALSE(std::filesystem::exists(settings) &&
               std::distance(std::filesystem::recursive_directory_iterator(settings), {}) > 0)
      << "drawing keeps no settings";
}
#endif

// ip prints each record's chargeability and gates in its fixed form; a decay of
// 30 mV·exp(-t / 50 ms) in every pause gives its closed-form gate values.
TEST(BatchTool, ChargeabilityOfRecordsFromTheirPauses) {
  TempDir dir;
  TestSurvey survey;
  survey.header = {1000, 200, 200, 4};
  TestBlock block = SimpleBlock(1);
  block.current.assign(3200, 0.0f);
  block.channels[0].voltage.assign(3200, 0.0f);
  for (int i = 0; i < 3200; ++i) {  // 16 half-periods of 200 samples
    const int k = i / 200 + 1, j = i % 200 + 1;
    if (k % 2 == 1) {
      block.current[size_t(i)] = 0.1f;
      block.channels[0].voltage[size_t(i)] = ((k - 1) / 2) % 2 == 0 ? 0.1f : -0.1f;
    } else {
      const double decay = 0.030 * std::exp(-(j - 0.5) / 50);
      block.channels[0].voltage[size_t(i)] = static_cast<float>((k / 2) % 2 == 1 ? decay : -decay);
    }
  }
  survey.blocks = {block};
  survey.Write(dir.File("ip.qmr"));
  BatchRun run = Batch("ip --gates 10:30,30:70 " + dir.File("ip.qmr") + " 1");
  ASSERT_EQ(run.status, 0) << run.out;
  ASSERT_EQ(run.out.rfind("record 1: Vp=", 0), 0u) << run.out;
  const double vp = std::stod(run.out.substr(13));
  // Samples at 9.5..29.5 ms and 29.5..69.5 ms hold the gates' means.
  auto true_m = [&](int first, int last) {
    double sum = 0;
    for (int j = first; j <= last; ++j) sum += 30 * std::exp(-(j - 0.5) / 50);
    return 1000 * sum / (last - first + 1) / vp;
  };
  const size_t gate1 = run.out.find("\ngate 1: 10-30 ms  M=");
  const size_t gate2 = run.out.find("\ngate 2: 30-70 ms  M=");
  ASSERT_NE(gate1, std::string::npos) << run.out;
  ASSERT_NE(gate2, std::string::npos) << run.out;
  EXPECT_NEAR(std::stod(run.out.substr(gate1 + 21)), true_m(11, 30), 0.002) << run.out;
  EXPECT_NEAR(std::stod(run.out.substr(gate2 + 21)), true_m(31, 70), 0.002);
  EXPECT_NE(run.out.find(" mV/V  ±0.000  Mt="), std::string::npos) << "identical stacks: no spread";
  EXPECT_NE(run.out.find("ms  gates 10-70 ms\n"), std::string::npos) << run.out;

  // A gate beyond the pause fails the survey, as it does in export and section.
  for (const std::string& command : {"ip --gates 10:300 " + dir.File("ip.qmr") + " 1",
                                     "section --ip --gates 10:300 " + dir.File("ip.qmr") + " " + dir.File("s.csv")}) {
    const BatchRun beyond = Batch(command);
    EXPECT_EQ(beyond.status, 1) << command;
    EXPECT_NE(beyond.out.find("ip.qmr: gate 10:300 ms lies outside the pause of 200 ms"), std::string::npos)
        << beyond.out;
  }
  EXPECT_EQ(Batch("ip " + dir.File("ip.qmr") + " 2").status, 1);
  for (const char* mains : {"-50", "50,", "50,,60", "0,50", "50x"})
    EXPECT_EQ(Batch("ip --mains " + std::string(mains) + " " + dir.File("ip.qmr") + " 1").status, 2) << mains;
  // Hum at 50.3 Hz: every frequency of the list is looked for.
  for (int i = 0; i < 3200; ++i)
    block.channels[0].voltage[size_t(i)] +=
        static_cast<float>(0.002 * std::sin(2 * std::numbers::pi * 50.3 * i / 1000));
  survey.blocks = {block};
  survey.Write(dir.File("hum.qmr"));
  auto m_with = [&](const std::string& mains) {
    return Batch("ip --mains " + mains + " " + dir.File("hum.qmr") + " 1").out;
  };
  EXPECT_EQ(m_with("60,50"), m_with("50"));
  EXPECT_EQ(m_with("50,60"), m_with("50"));
  EXPECT_NE(m_with("50"), m_with("60"));

  // export carries M where the format has room; the gates are checked against each file.
  EXPECT_EQ(Batch("export --ip " + dir.File("ip.qmr")).status, 2) << "the text table has no room for M";
  BatchRun csv = Batch("export --format csv --gates 10:30,30:70 " + dir.File("ip.qmr"));
  ASSERT_EQ(csv.status, 0) << csv.out;
  std::ifstream table(dir.File("ip.csv"));
  std::string header;
  std::getline(table, header);
  EXPECT_EQ(header.substr(0, header.find('\r')), "Spa.1,Spa.2,Spa.3,Spa.4,Vp,In,Dev.,Sp,Rho,M,Merr,M1,M2");
  BatchRun beyond = Batch("export --format ohm --gates 10:300 " + dir.File("ip.qmr"));
  EXPECT_EQ(beyond.status, 1);
  EXPECT_NE(beyond.out.find("ip.qmr: gate 10:300 ms lies outside the pause of 200 ms"), std::string::npos)
      << beyond.out;
}

// A line's commands change its project only, and refuse a survey that moved or changed.
TEST(BatchTool, LineCommandsKeepTheSurveysAndRefuseChangedOnes) {
  TempDir dir;
  const std::string a = dir.File("a.qmr"), b = dir.File("b.qmr"), topo = dir.File("topo.txt");
  for (const std::string& survey : {a, b})
    ASSERT_EQ(Batch("synth --blocks 4 --channels 3 --electrodes 12 --periods 1 " + survey).status, 0);
  const std::vector<unsigned char> raw_a = ReadWholeFile(a), raw_b = ReadWholeFile(b);
  std::filesystem::create_directory(dir.File("line"));
  const std::string line = dir.File("line/L.vln");
  auto line_run = [&](const std::string& words) { return Batch("line " + words); };
  ASSERT_EQ(line_run("new " + line + " " + a + " " + b + "@30").status, 0);
  BatchRun again = line_run("new " + line + " " + a);
  EXPECT_EQ(again.status, 1);
  EXPECT_EQ(again.out, line + ": the project exists; --force replaces it\n");

  // The records use the electrodes at 0 to 40 m, and 30 to 70 m.
  const std::vector<unsigned char> made = ReadWholeFile(line);
  std::ofstream(topo) << "0 10\n50 12\n";
  BatchRun short_topo = line_run("topo " + line + " " + topo);
  EXPECT_EQ(short_topo.status, 1);
  EXPECT_EQ(short_topo.out, topo + ": the topography does not reach the electrode at 55 m (it covers 0 to 50 m)\n");
  EXPECT_EQ(ReadWholeFile(line), made) << "nothing changes";
  std::ofstream(topo) << "# surveyed\n0 10\n70 12\n";
  EXPECT_EQ(line_run("topo " + line + " " + topo + " --tape").status, 0);
  EXPECT_EQ(
      line_run("exclude " + line + " --max-error 5 --electrode 30 --record " + b + ":3 --record " + a + ":12").status,
      0);
  BatchRun beyond = line_run("exclude " + line + " --record " + a + ":13");
  EXPECT_EQ(beyond.status, 1);
  EXPECT_EQ(beyond.out, a + ": record 13 is not in 1..12\n");
  EXPECT_EQ(line_run("exclude " + line + " --electrode 31").status, 1) << "no electrode there";
  EXPECT_EQ(line_run("include " + line + " --record " + a + ":12").status, 0);

  LineProject project = ReadLineProject(line);
  EXPECT_EQ(project.surveys[0].file, "../a.qmr");
  EXPECT_EQ(project.surveys[1].offset_m, 30);
  EXPECT_EQ(project.topography, (Topography{{{0, 10}, {70, 12}}, true}));
  EXPECT_EQ(project.rules.max_error_pct, 5);
  EXPECT_EQ(project.rules.electrodes, std::vector<double>{30});
  EXPECT_EQ(project.excluded_by_hand, (std::set<RecordRef>{{1, 3}}));
  EXPECT_EQ(line_run("include " + line + " --all-manual").status, 0);
  EXPECT_TRUE(ReadLineProject(line).excluded_by_hand.empty());
  BatchRun info = line_run("info " + line);
  EXPECT_EQ(info.status, 0);
  BatchRun exported = line_run("export " + line + " --format res2dinv");
  EXPECT_EQ(exported.status, 0) << exported.out;
  const std::string dat = dir.File("line/L.dat");
  EXPECT_EQ(exported.out.substr(0, dat.size() + 2), dat + ": ");
  const std::vector<unsigned char> written = ReadWholeFile(dat);
  // info counts the electrodes the export writes: those of the records the rules keep.
  std::set<double> electrodes;
  for (const PeerRecord& record : ReadLikeRes2dinvLoaders(dat).records)
    electrodes.insert({record.a, record.b, record.m, record.n});
  EXPECT_LT(electrodes.size(), 15u) << "the rules leave out every record on some electrodes";
  EXPECT_EQ(info.out.rfind(line + ": 2 files, 24 records, " + std::to_string(electrodes.size()) + " electrodes, ", 0),
            0u)
      << info.out;
  // A record excluded by hand that its survey does not have: the command fails by the project's line.
  project = ReadLineProject(line);
  const LineProject kept = project;
  project.excluded_by_hand = {{0, 13}};
  WriteLineProject(line, project);
  for (const char* words : {"info ", "export --format csv ", "include --all-manual "}) {
    BatchRun beyond_end = line_run(words + line);
    EXPECT_EQ(beyond_end.status, 1);
    EXPECT_EQ(beyond_end.out, line + ":21: record 13 of ../a.qmr is not in 1..12\n");
  }
  EXPECT_FALSE(std::filesystem::exists(dir.File("line/L.csv")));
  project = kept;
  WriteLineProject(line, project);
  EXPECT_EQ(ReadWholeFile(a), raw_a);
  EXPECT_EQ(ReadWholeFile(b), raw_b);

  WriteSurveyFloat(b, file_format::ElectrodeTableOffset + 4, 0.5f);  // same size, another electrode
  BatchRun changed = line_run("exclude " + line + " --max-k 1000");
  EXPECT_EQ(changed.status, 1);
  EXPECT_EQ(changed.out, b + ": the survey changed since it was added to the line (its contents differ)\n");
  BatchRun changed_export = line_run("export " + line + " --format res2dinv");
  EXPECT_EQ(changed_export.status, 1);
  EXPECT_EQ(changed_export.out, changed.out);
  EXPECT_EQ(ReadWholeFile(dat), written) << "the export stays as it was";
  const int64_t size = static_cast<int64_t>(raw_a.size());
  Truncate(a, size - 15);  // the header as it was, the last record cut
  EXPECT_EQ(line_run("exclude " + line + " --max-k 1000").out,
            a + ": the survey changed since it was added to the line (its size is " + std::to_string(size - 15) +
                " bytes, not " + std::to_string(size) + ")\n");
  std::filesystem::rename(a, dir.File("moved.qmr"));
  BatchRun moved = line_run("include " + line + " --all-manual");
  EXPECT_EQ(moved.status, 1);
  EXPECT_EQ(moved.out, a + ": File not found\n");
  EXPECT_EQ(line_run("exclude " + line).status, 2) << "nothing to exclude";
}

// The unified format's rows as named by its header ("# a b m n r ..."): one map per row.
std::vector<std::map<std::string, double>> OhmRows(const std::string& path) {
  std::ifstream file(path);
  std::vector<std::string> names;
  std::vector<std::map<std::string, double>> rows;
  for (std::string line; std::getline(file, line);) {
    std::istringstream words(line);
    if (line.rfind("# a b m n", 0) == 0) {
      names.clear();
      for (std::string name; words >> name;)
        if (name != "#") names.push_back(name);
      continue;
    }
    if (names.empty()) continue;
    std::vector<double> values;
    for (std::string word; words >> word;) values.push_back(std::stod(word));
    if (values.size() != names.size()) break;
    std::map<std::string, double>& row = rows.emplace_back();
    for (size_t i = 0; i < names.size(); ++i) row[names[i]] = values[i];
  }
  return rows;
}

std::vector<std::string> FileLines(const std::string& path) {
  std::ifstream file(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(file, line);) lines.push_back(line);
  return lines;
}

// --decay writes every gate of the gates asked for, their times where pyGIMLi's TDIP import
// finds them, in a survey's exports and a line's; a record without an answer is left out
// and counted; --ip-error decay gives iperr the fit's data error instead of the stack's ±.
TEST(BatchTool, TheExportsCarryEveryGateOfTheDecay) {
  TempDir dir;
  // One record decaying as exp(-t / 50 ms) in every pause, one without any signal.
  TestSurvey survey;
  survey.header = {1000, 200, 200, 4};
  survey.electrodes = {0, 5, 10, 15, 20};
  TestBlock block;
  block.current.assign(3200, 0.0f);
  TestChannel decaying{3, 4, std::vector<float>(3200, 0.0f)}, silent{4, 5, {}};
  for (int i = 0; i < 3200; ++i) {
    const int k = i / 200 + 1, j = i % 200 + 1;
    if (k % 2 == 1) {
      block.current[size_t(i)] = 0.1f;
      decaying.voltage[size_t(i)] = ((k - 1) / 2) % 2 == 0 ? 0.1f : -0.1f;
    } else {
      const double decay = 0.030 * std::exp(-(j - 0.5) / 50);
      decaying.voltage[size_t(i)] = static_cast<float>((k / 2) % 2 == 1 ? decay : -decay);
    }
  }
  block.channels = {decaying, silent};
  survey.blocks = {block};
  const std::string ip = dir.File("ip.qmr");
  survey.Write(ip);
  const std::string gates = "--gates 10:30,30:70,70:110,110:190 ";
  const BatchRun vp_run = Batch("ip " + ip + " 1");
  ASSERT_EQ(vp_run.out.rfind("record 1: Vp=", 0), 0u) << vp_run.out;
  const double vp = std::stod(vp_run.out.substr(13));
  auto true_m = [&](int first, int last) {  // the samples at first - 0.5 .. last - 0.5 ms
    double sum = 0;
    for (int j = first; j <= last; ++j) sum += 30 * std::exp(-(j - 0.5) / 50);
    return 1000 * sum / (last - first + 1) / vp;
  };

  BatchRun ohm = Batch("export -q --format ohm --decay " + gates + ip);
  EXPECT_EQ(ohm.out, dir.File("ip.ohm") + ": 1 records, 1 left out\n");
  const PeerTdip tdip = ReadLikeTdipImport(dir.File("ip.ohm"));
  EXPECT_TRUE(tdip.problems.empty()) << tdip.problems.front();
  const std::vector<double> bounds{0.010, 0.030, 0.070, 0.110, 0.190};
  ASSERT_EQ(tdip.gate_bounds.size(), bounds.size());
  for (size_t i = 0; i < bounds.size(); ++i) EXPECT_NEAR(tdip.gate_bounds[i], bounds[i], 1e-12) << i;
  ASSERT_EQ(tdip.ma.size(), 4u);
  const std::array<std::pair<int, int>, 4> samples{{{11, 30}, {31, 70}, {71, 110}, {111, 190}}};
  for (size_t gate = 0; gate < 4; ++gate) {
    ASSERT_EQ(tdip.ma[gate].size(), 1u);
    EXPECT_NEAR(tdip.ma[gate][0], true_m(samples[gate].first, samples[gate].second), 0.002) << gate;
  }
  const std::vector<std::map<std::string, double>> rows = OhmRows(dir.File("ip.ohm"));
  ASSERT_EQ(rows.size(), 1u);
  for (const char* fit : {"tau", "c", "misfit"}) EXPECT_TRUE(rows[0].count(fit) && std::isfinite(rows[0].at(fit)));

  BatchRun table = Batch("export -q --format csv --decay " + gates + ip);
  EXPECT_EQ(table.out, dir.File("ip.decay.csv") + ": 1 records, 1 left out\n");
  const std::vector<std::string> lines = FileLines(dir.File("ip.decay.csv"));
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0].substr(0, lines[0].find('\r')),
            "survey,record,A,B,M,N,gate,t1_ms,t2_ms,M_gate,M_gate_err,tau_ms,c,misfit,flags");
  EXPECT_EQ(lines[3].rfind("ip.qmr,1,0.000,5.000,10.000,15.000,3,70.000,110.000,", 0), 0u) << lines[3];
  EXPECT_EQ(Batch("export --decay " + ip).status, 2) << "the text table has no room for the gates";
  EXPECT_EQ(Batch("export --format ohm --ip-error fit " + ip).status, 2);

  // The iperr of --ip-error decay: the fit's data error, one for the record and each of its gates.
  const std::string a = dir.File("a.qmr"), b = dir.File("b.qmr");
  ASSERT_EQ(Batch("synth --blocks 3 --channels 4 --periods 2 --chargeability 50 --tau 80 --cole-c 0.6 " + a).status, 0);
  ASSERT_EQ(Batch("synth --blocks 3 --channels 4 --periods 2 --chargeability 20 --tau 300 --seed 2 " + b).status, 0);
  ASSERT_EQ(Batch("export -q --format ohm --ip " + a).status, 0);
  const std::vector<std::map<std::string, double>> stack = OhmRows(dir.File("a.ohm"));
  ASSERT_EQ(Batch("export -q --format ohm --decay --ip-error decay " + a).status, 0);
  const std::vector<std::map<std::string, double>> fitted = OhmRows(dir.File("a.ohm"));
  ASSERT_EQ(fitted.size(), 12u);
  ASSERT_EQ(stack.size(), 12u);
  for (size_t i = 0; i < fitted.size(); ++i) {
    EXPECT_NE(fitted[i].at("iperr"), stack[i].at("iperr")) << i;
    EXPECT_EQ(fitted[i].at("ip"), stack[i].at("ip")) << i;
    for (const char* gate : {"iperr1", "iperr2", "iperr3", "iperr4", "iperr5"})
      EXPECT_EQ(fitted[i].at(gate), fitted[i].at("iperr")) << i << gate;
  }

  // The line: every survey's gates, positions along the line, the records without an answer counted.
  const std::string line = dir.File("L.vln");
  std::filesystem::create_directory(dir.File("out"));
  ASSERT_EQ(Batch("line new " + line + " " + a + " " + b + "@60 " + ip + "@200").status, 0);
  BatchRun line_ohm = Batch("line export -q " + line + " --format ohm --decay --out-dir " + dir.File("out") + " " +
                            gates.substr(0, gates.size() - 1));
  EXPECT_EQ(line_ohm.out, dir.File("out/L.ohm") + ": 25 records, 1 left out\n");
  const PeerTdip line_tdip = ReadLikeTdipImport(dir.File("out/L.ohm"));
  EXPECT_EQ(line_tdip.gate_bounds, tdip.gate_bounds);
  ASSERT_EQ(line_tdip.ma.size(), 4u);
  EXPECT_EQ(line_tdip.ma[0].size(), 25u);
  EXPECT_NEAR(line_tdip.ma[2].back(), true_m(71, 110), 0.002);
  BatchRun line_table = Batch("line export -q " + line + " --format csv --decay");
  EXPECT_EQ(line_table.out, dir.File("L.decay.csv") + ": 25 records, 1 left out\n");
  std::map<std::string, int> per_survey;
  std::string first_of_b;
  for (const std::string& text : FileLines(dir.File("L.decay.csv"))) {
    const std::string name = text.substr(0, text.find(','));
    if (name == "b.qmr" && first_of_b.empty()) first_of_b = text;
    ++per_survey[name];
  }
  // The synthetic surveys' pause of 1 s takes the default gates; the short one its own.
  EXPECT_EQ(per_survey["a.qmr"] % 12, 0);
  EXPECT_GE(per_survey["a.qmr"], 48);
  EXPECT_EQ(per_survey["b.qmr"], per_survey["a.qmr"]);
  ASSERT_EQ(Batch("export -q --format csv --decay " + ip).status, 0);
  EXPECT_EQ(per_survey["ip.qmr"], static_cast<int>(FileLines(dir.File("ip.decay.csv")).size()) - 1)
      << "its own pause's default gates, the silent record left out";
  EXPECT_EQ(first_of_b.rfind("b.qmr,1,60.000,65.000,", 0), 0u) << first_of_b;
  ASSERT_EQ(Batch("line export -q " + line + " --format ohm --ip").status, 0);
  const std::vector<std::map<std::string, double>> line_stack = OhmRows(dir.File("L.ohm"));
  ASSERT_EQ(Batch("line export -q " + line + " --format ohm --ip-error decay").status, 0);
  const std::vector<std::map<std::string, double>> line_fitted = OhmRows(dir.File("L.ohm"));
  ASSERT_EQ(line_fitted.size(), line_stack.size());
  EXPECT_EQ(line_fitted.front().at("ip"), line_stack.front().at("ip"));
  EXPECT_NE(line_fitted.front().at("iperr"), line_stack.front().at("iperr"));
  EXPECT_EQ(line_fitted.front().count("ip1"), 0u) << "the gates only with --decay";
  BatchRun mixed = Batch("line export " + line + " --format res2dinv --decay");
  EXPECT_EQ(mixed.status, 1);
  EXPECT_NE(mixed.out.find("give --gates"), std::string::npos) << mixed.out;
  EXPECT_FALSE(std::filesystem::exists(dir.File("L.dat")));
}

// line add, remove and offset change the project whole or not at all, and keep its
// topography, rules and hand exclusions; every rule switches off as the project reads "off".
TEST(BatchTool, LineEditsChangeTheProjectWhollyOrNotAtAll) {
  TempDir dir;
  const std::string a = dir.File("a.qmr"), b = dir.File("b.qmr"), c = dir.File("c.qmr"), line = dir.File("L.vln");
  const std::string missing = dir.File("missing.qmr"), topo = dir.File("topo.txt");
  for (const std::string& survey : {a, b, c, dir.File("d.qmr")})
    ASSERT_EQ(Batch("synth --blocks 4 --channels 3 --electrodes 12 --periods 1 " + survey).status, 0);
  std::ofstream(topo) << "0 10\n150 12\n";
  ASSERT_EQ(Batch("line new " + line + " " + a).status, 0);
  ASSERT_EQ(Batch("line topo " + line + " " + topo).status, 0);
  ASSERT_EQ(Batch("line exclude " + line + " --max-error 5 --m-range -5:200 --record " + a + ":2").status, 0);
  BatchRun added = Batch("line add " + line + " " + b + "@30 " + c + "@60.5");
  EXPECT_EQ(added.status, 0) << added.out;
  LineProject project = ReadLineProject(line);
  ASSERT_EQ(project.surveys.size(), 3u);
  EXPECT_EQ(project.surveys[2].file, "c.qmr");
  EXPECT_EQ(project.surveys[2].offset_m, 60.5);
  EXPECT_EQ(project.rules.max_error_pct, 5);
  EXPECT_EQ(project.topography.points.size(), 2u);
  ASSERT_EQ(Batch("line exclude " + line + " --record " + c + ":3").status, 0);

  const std::vector<unsigned char> before = ReadWholeFile(line);
  auto refused = [&](const std::string& words, int status, const std::string& said) {
    const BatchRun run = Batch("line " + words);
    EXPECT_EQ(run.status, status) << words << "\n" << run.out;
    EXPECT_NE(run.out.find(said), std::string::npos) << words << "\n" << run.out;
    EXPECT_EQ(ReadWholeFile(line), before) << words;
  };
  refused("add " + line + " " + a + "@90", 1, a + ": already a survey of the line " + line + "\n");
  refused("add " + line + " " + dir.File("d.qmr") + " " + missing, 1, missing + ": ");
  refused("add " + line + " " + missing + " " + missing + "@5", 2, missing + " is given twice");
  refused("offset " + line + " " + b + " 200", 1, line + ": the topography does not reach");
  refused("offset " + line + " " + missing + " 5", 1, missing + ": not a survey of the line " + line + "\n");
  refused("offset " + line + " " + b + " 5m", 2, "OFFSET: takes an offset in metres, not '5m'");
  refused("remove " + line + " " + missing, 1, missing + ": not a survey of the line");
  refused("remove " + line + " " + a + " " + b + " " + c, 1, line + ": c.qmr is the line's only survey\n");
  refused("exclude " + line + " --negative-rhoa maybe", 2, "--negative-rhoa: takes yes or no");

  EXPECT_EQ(Batch("line offset " + line + " " + b + " 45").status, 0);
  EXPECT_EQ(Batch("line remove " + line + " " + a).status, 0);
  project = ReadLineProject(line);
  ASSERT_EQ(project.surveys.size(), 2u);
  EXPECT_EQ(project.surveys[0].file, "b.qmr");
  EXPECT_EQ(project.surveys[0].offset_m, 45);
  EXPECT_EQ(project.excluded_by_hand, (std::set<RecordRef>{{1, 3}})) << "c's exclusion follows its place";

  EXPECT_EQ(Batch("line exclude " + line + " --negative-rhoa --max-k 900").status, 0);
  EXPECT_TRUE(ReadLineProject(line).rules.negative_rhoa);
  EXPECT_EQ(Batch("line exclude " + line + " --max-error off --m-range off --negative-rhoa off --max-k off").status, 0);
  project = ReadLineProject(line);
  EXPECT_FALSE(project.rules.max_error_pct || project.rules.m_range_mv_v || project.rules.max_abs_k ||
               project.rules.negative_rhoa);
  EXPECT_EQ(project.excluded_by_hand.size(), 1u);
}

TEST(BatchTool, UsageErrorsExitTwo) {
  EXPECT_EQ(Batch("").status, 2);
  EXPECT_EQ(Batch("frobnicate").status, 2);
  EXPECT_EQ(Batch("info").status, 2);
  EXPECT_EQ(Batch("export --bogus x.qmr").status, 2);
  const BatchRun number = Batch("export --format csv -5 x.qmr");
  EXPECT_EQ(number.status, 2) << "a negative number where a file goes is an option mistyped";
  EXPECT_NE(number.out.find("unknown option '-5'"), std::string::npos) << number.out;
  const BatchRun bare = Batch("export --format");
  EXPECT_EQ(bare.status, 2);
  EXPECT_NE(bare.out.find("--format needs its value: txt|csv|ohm|res2dinv"), std::string::npos) << bare.out;
  const BatchRun three = Batch("export --format csv --ip-error decay --gates 10:30,30:70,70:150 x.qmr");
  EXPECT_EQ(three.status, 2) << "gates the decay's fit cannot take, whatever the survey";
  EXPECT_NE(three.out.find("four gates"), std::string::npos) << three.out;
  EXPECT_EQ(Batch("export --format res2dinv --ip --gates 10:30,40:70 x.qmr").status, 2) << "M's window has a gap";
  for (const char* help_option : {"--help", "-h", "help"}) {
    BatchRun help = Batch(help_option);
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("\n  check "), std::string::npos) << help_option;
  }
}

// Every command has its help, from -h as from --help, and nothing else; a word that begins
// with '-' is an option, never a file, unless it follows --.
TEST(BatchTool, HelpAndVersionOfEveryCommandAndProgram) {
  TempDir dir;
  for (const CommandDeclaration& command : BatchCommands()) {
    SCOPED_TRACE(command.words);
    for (const char* help : {" --help", " -h"}) {
      const SeparateRun run = BatchApart("--version >/dev/null; cd '" + dir.Path().string() + "' && " + VOSTREL_BATCH +
                                         " " + command.words + help);
      EXPECT_EQ(run.status, 0);
      EXPECT_EQ(run.err, "");
      EXPECT_EQ(run.out.rfind(command.description + "\nUsage: vostrel-batch " + command.words + " [OPTIONS]", 0), 0u)
          << run.out;
    }
  }
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 0) << "synth -h writes nothing";
  const SeparateRun version = BatchApart("--version");
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out.rfind("vostrel-batch ", 0), 0u);
  EXPECT_EQ(version.err, "");
#ifdef VOSTREL_WITH_PLOT
  for (const std::string program : {VOSTREL_PLOT, VOSTREL_WINDOW}) {
    SCOPED_TRACE(program);
    const SeparateRun program_version = BatchApart("--version", program);
    EXPECT_EQ(program_version.status, 0);
    EXPECT_EQ(program_version.out.rfind(std::filesystem::path(program).filename().string() + " ", 0), 0u);
    const SeparateRun help = BatchApart("--help", program);
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("Usage: "), std::string::npos);
    EXPECT_EQ(help.err, "");
    EXPECT_EQ(BatchApart("--frobnicate", program).status, 2);
  }
#endif

  const std::string odd = dir.File("-odd.qmr");
  ASSERT_EQ(Batch("synth --blocks 1 --channels 1 -- " + odd).status, 0);
  EXPECT_EQ(Batch("info -- " + odd).status, 0);
  const BatchRun option = Batch("info -odd.qmr");
  EXPECT_EQ(option.status, 2);
  EXPECT_EQ(option.out.find("File not found"), std::string::npos) << option.out;
  EXPECT_EQ(Batch("line new " + dir.File("L.vln") + " " + odd + " --gates 30:10").status, 2);
  EXPECT_FALSE(std::filesystem::exists(dir.File("L.vln")));
}

// A record number outside the survey prints only its error, whatever the command; the
// records before it are shown, and none after it.
TEST_F(BatchToolTest, RecordsOutsideTheSurveyStopTheCommand) {
  for (const char* k : {"999", "0", "-1", "13"}) {
    SCOPED_TRACE(k);
    const std::string says = survey_ + ": record " + k + " is not in 1..12\n";
    for (const std::string& command : {"ip " + survey_ + " " + k, "record " + survey_ + " " + k}) {
      const BatchRun run = Batch(command);
      EXPECT_EQ(run.status, 1);
      EXPECT_EQ(run.out, says);
    }
  }
  const BatchRun run = Batch("ip " + survey_ + " 1 99 2");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out.rfind("record 1: Vp=", 0), 0u) << run.out;
  EXPECT_EQ(run.out.find("record 2:"), std::string::npos) << run.out;
  EXPECT_TRUE(run.out.ends_with(survey_ + ": record 99 is not in 1..12\n")) << run.out;
  const Json json = Json::parse(BatchApart("ip --json " + survey_ + " 1 99 2").out);
  EXPECT_EQ(json[json_key::Records].size(), 1u);
  EXPECT_EQ(json[json_key::Error], "record 99 is not in 1..12");
}

// synth replaces a survey only when told to, and only with a complete one.
TEST_F(BatchToolTest, SynthKeepsAnExistingSurveyAndWritesOnlyACompleteOne) {
  const std::vector<unsigned char> kept = ReadWholeFile(survey_);
  const BatchRun again = Batch("synth --blocks 1 " + survey_);
  EXPECT_EQ(again.status, 1);
  EXPECT_EQ(again.out, survey_ + ": the file exists; --force replaces it\n");
  EXPECT_EQ(ReadWholeFile(survey_), kept);
  ASSERT_EQ(Batch("synth --force --blocks 1 --channels 1 " + survey_).status, 0);
  EXPECT_LT(ReadWholeFile(survey_).size(), kept.size());

  const BatchRun full =
      Batch("--help >/dev/null; ulimit -f 16; " + std::string(VOSTREL_BATCH) + " synth " + dir_.File("new.qmr"));
  EXPECT_EQ(full.status, 1);
  EXPECT_EQ(full.out, dir_.File("new.qmr") + ": Disk full\n");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.Path()), {}), 1) << "nothing but the survey";
  EXPECT_EQ(Batch("synth " + dir_.File("absent/new.qmr")).out,
            dir_.File("absent/new.qmr") + ": there is no folder " + dir_.File("absent") + "\n");

  // Stopped by Ctrl+C or a termination while it writes: the survey stays as it was and
  // no temporary file is left behind.
  const std::vector<unsigned char> before = ReadWholeFile(survey_);
  for (int signal_number : {SIGINT, SIGTERM}) {
    const pid_t child = fork();
    if (child == 0) {
      std::freopen("/dev/null", "w", stdout);
      execl(VOSTREL_BATCH, VOSTREL_BATCH, "synth", "--force", "--blocks", "400", "--channels", "20", survey_.c_str(),
            static_cast<char*>(nullptr));
      _exit(127);
    }
    auto writing = [&] {
      for (const auto& entry : std::filesystem::directory_iterator(dir_.Path()))
        if (entry.path().filename().string().starts_with(".vostrel-")) return true;
      return false;
    };
    for (int waited = 0; waited < 10000 && !writing(); ++waited) usleep(500);
    kill(child, signal_number);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal_number) << "stopped as the signal stops it";
    EXPECT_FALSE(writing()) << signal_number;
    EXPECT_EQ(ReadWholeFile(survey_), before) << signal_number;
  }
}

// Two surveys of one name into one folder: refused before anything is written.
TEST_F(BatchToolTest, TwoSurveysOfOneNameAreNotExportedIntoOneFolder) {
  for (const char* day : {"day1", "day2", "out"}) std::filesystem::create_directory(dir_.File(day));
  for (const char* day : {"day1", "day2"}) std::filesystem::copy_file(survey_, dir_.File(day) + "/p.qmr");
  const std::string both = " " + dir_.File("day1/p.qmr") + " " + dir_.File("day2/P.qmr");
  std::filesystem::rename(dir_.File("day2/p.qmr"), dir_.File("day2/P.qmr"));
  const BatchRun run = Batch("export --format csv --out-dir " + dir_.File("out") + both);
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.out.rfind("vostrel-batch export: " + dir_.File("day1/p.qmr") + " and " + dir_.File("day2/P.qmr") +
                              " would both be written as " + dir_.File("out/P.csv") + "\n",
                          0),
            0u)
      << run.out;
  EXPECT_TRUE(std::filesystem::is_empty(dir_.File("out")));
  EXPECT_EQ(Batch("export --format csv" + both).status, 0) << "each beside its survey";
  EXPECT_TRUE(std::filesystem::exists(dir_.File("day2/P.csv")));
}

// Whatever is named for a survey is refused with what it is.
TEST_F(BatchToolTest, FilesThatAreNoSurveyAreNamedForWhatTheyAre) {
  std::filesystem::create_directory(dir_.File("folder.qmr"));
  std::ofstream(dir_.File("empty.qmr"));
  std::ofstream(dir_.File("notes.qmr")) << "x z\n0 100\n";
  std::ofstream(dir_.File("L.vln")) << "# vostrel survey line\nformat = 1\n";
  std::filesystem::copy_file(survey_, dir_.File("cut.qmr"));
  Truncate(dir_.File("cut.qmr"), 4100);
  TestSurvey zeros;
  zeros.header = {0, 0, 0, 0};
  zeros.Write(dir_.File("zeros.qmr"));
  struct Case {
    std::string file, says;
  };
  for (const Case& c :
       {Case{"folder.qmr", "is a folder"}, Case{"empty.qmr", "not a survey: the file is empty"},
        Case{"notes.qmr", "not a survey: file shorter than its header (10 bytes, the header takes 4120) (a text file)"},
        Case{"cut.qmr", "not a survey: file shorter than its header (4100 bytes, the header takes 4120)"},
        Case{"zeros.qmr", "not a survey: sample rate 0"},
        Case{"L.vln", "a line's project, not a survey: the line commands read it (vostrel-batch line info " +
                          dir_.File("L.vln") + ")"}}) {
    SCOPED_TRACE(c.file);
    for (const char* command : {"info ", "check "}) {
      const BatchRun run = Batch(command + dir_.File(c.file));
      EXPECT_EQ(run.status, 1);
      EXPECT_EQ(run.out, dir_.File(c.file) + ": " + c.says + "\n");
    }
  }
  // Cut inside its first block: info tells what there is; a command that works on records fails.
  std::filesystem::copy_file(survey_, dir_.File("first.qmr"));
  Truncate(dir_.File("first.qmr"), OpenSurvey(survey_).survey->RecordIndex[1].CurrentOffset + 100);
  const std::string first = dir_.File("first.qmr") +
                            ": the file ends inside block 1; 0 complete blocks and 0 records "
                            "are read\n";
  EXPECT_EQ(Batch("info " + dir_.File("first.qmr")).status, 0);
  for (const char* command : {"check ", "export --format csv ", "reciprocal "}) {
    const BatchRun run = Batch(command + dir_.File("first.qmr"));
    EXPECT_EQ(run.status, 1) << command;
    EXPECT_EQ(run.out, first + dir_.File("first.qmr") + ": no complete record in the survey\n") << command;
  }
  EXPECT_EQ(
      Batch("line info " + survey_).out,
      survey_ + ": a survey, not a line's project: make one with vostrel-batch line new LINE.vln " + survey_ + "\n");
  EXPECT_EQ(Batch("line new --force " + survey_ + " " + survey_).status, 1);
  EXPECT_EQ(Batch("info " + survey_).status, 0) << "a survey is never replaced by a project";

  // A folder that takes no table: the table is named.
  std::filesystem::create_directory(dir_.File("locked"));
  std::filesystem::permissions(dir_.File("locked"),
                               std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
  if (access(dir_.File("locked").c_str(), W_OK) != 0) {
    const BatchRun locked = Batch("export --out-dir " + dir_.File("locked") + " " + survey_);
    EXPECT_EQ(locked.status, 1);
    EXPECT_EQ(locked.out, dir_.File("locked/survey.TXT") + ": File access denied\n");
  }
  std::filesystem::permissions(dir_.File("locked"), std::filesystem::perms::owner_all);
}

// Progress only for a person at a terminal: a single file's percentage whatever -j is,
// a line per file for several, none with --quiet, which drops the timings too, and
// nothing through a pipe.
TEST_F(BatchToolTest, ProgressOnlyOnATerminal) {
  const std::string folder = dir_.Path().string();
  const BatchRun one = OnTerminal({"check", "-j", "4", "survey.qmr"}, folder);
  EXPECT_EQ(one.status, 0);
  EXPECT_NE(one.out.find("\rsurvey.qmr:  50%"), std::string::npos) << one.out;
  EXPECT_NE(one.out.find("\rsurvey.qmr: 100%\r\033[K"), std::string::npos) << "cleared at the end";
  EXPECT_EQ(one.out.find("[1/1]"), std::string::npos) << one.out;
  std::filesystem::copy_file(survey_, dir_.File("second.qmr"));
  const BatchRun two = OnTerminal({"export", "survey.qmr", "second.qmr"}, folder);
  EXPECT_NE(two.out.find("/2] survey.qmr done\r\n"), std::string::npos) << two.out;
  EXPECT_NE(two.out.find("/2] second.qmr done\r\n"), std::string::npos) << two.out;
  EXPECT_EQ(two.out.find('%'), std::string::npos) << "no percentage for several files";
  EXPECT_NE(two.out.find(" s\r\n"), std::string::npos) << "timings";
  const BatchRun quiet = OnTerminal({"export", "--quiet", "survey.qmr", "second.qmr"}, folder);
  EXPECT_EQ(quiet.out, "survey.TXT: 12 records\r\nsecond.TXT: 12 records\r\n");
  EXPECT_EQ(OnTerminal({"check", "-q", "survey.qmr"}, folder).out.find('%'), std::string::npos);
  const BatchRun pipe = Batch("check -j 4 " + survey_);
  EXPECT_EQ(pipe.out.find_first_of("\r%"), std::string::npos);

  ASSERT_EQ(Batch("line new " + dir_.File("L.vln") + " " + survey_).status, 0);
  for (const char* command : {"info", "export"}) {
    SCOPED_TRACE(command);
    std::vector<std::string> words{"line", command, "L.vln"};
    if (std::string(command) == "export") words.insert(words.end(), {"--format", "csv"});
    EXPECT_NE(OnTerminal(words, folder).out.find("\rL.vln: 100%\r\033[K"), std::string::npos);
    words.push_back("--quiet");
    EXPECT_EQ(OnTerminal(words, folder).out.find('%'), std::string::npos);
  }
}

// check in four significant digits with the class thresholds in its help; --json gives
// the same records with their electrodes, as numbers.
TEST(BatchTool, CheckTextAndJsonAgree) {
  TempDir dir;
  const std::string survey = dir.File("dd.qmr");
  ASSERT_EQ(Batch("synth --layout dipole-dipole --rho 80 --blocks 4 --channels 3 --noise 2 " + survey).status, 0);
  const BatchRun text = Batch("check --abs-du " + survey);
  const Json json = Json::parse(Batch("check --abs-du --json " + survey).out);
  ASSERT_EQ(json.size(), 1u);
  const Json& records = json[0][json_key::Records];
  ASSERT_EQ(records.size(), 12u);
  std::istringstream lines(text.out);
  for (const Json& record : records) {
    std::string line;
    std::getline(lines, line);
    const double error = record[json_key::ErrorPct];
    char digits[32];
    std::snprintf(digits, sizeof digits, "%.3e", error);  // four significant digits
    EXPECT_NEAR(std::stod(line.substr(line.find(' ') + 1)), std::stod(digits), 1e-12) << line;
    const std::string k = std::to_string(record[json_key::Record].get<int>());
    const std::string identification = Batch("record " + survey + " " + k).out;
    EXPECT_EQ(identification.substr(0, identification.find("    ")),
              "A=" + std::to_string(record[json_key::A].get<int>()) +
                  "  B=" + std::to_string(record[json_key::B].get<int>()) +
                  "  M=" + std::to_string(record[json_key::M].get<int>()) +
                  "  N=" + std::to_string(record[json_key::N].get<int>()));
    EXPECT_EQ(line.substr(line.rfind(' ') + 1), record[json_key::Class].get<std::string>());
  }
  for (const char* name : {"blue", "green", "yellow", "red", "black"})
    EXPECT_NE(text.out.find(std::string("\n") + name + ": " +
                            std::to_string(json[0][json_key::Counts][name].get<int>()) + "\n"),
              std::string::npos)
        << name;
  const std::string help = Batch("check --help").out;
  for (const char* threshold :
       {"blue up to 1,", "green up to 5,", "yellow up to 15,", "red above 15", "fixed 50", "fixed 100"})
    EXPECT_NE(help.find(threshold), std::string::npos) << threshold;
}

// R and K with at least five significant digits, however small: a half-space of 1 Ω·m
// gives R = 1 / K (to the current's noise).
TEST(BatchTool, RecordKeepsFiveSignificantDigitsOfKAndR) {
  TempDir dir;
  const std::string survey = dir.File("dd.qmr");
  ASSERT_EQ(Batch("synth --layout dipole-dipole --rho 1 --noise 0 --blocks 1 --channels 3 " + survey).status, 0);
  const std::string out = Batch("record " + survey + " 3").out;
  // Electrodes at 0, 5 and 20, 25 m.
  const double k = 2 * std::numbers::pi / (1 / 20.0 - 1 / 15.0 - 1 / 25.0 + 1 / 20.0);
  const size_t at = out.find("K=");
  ASSERT_NE(at, std::string::npos) << out;
  std::istringstream line(out.substr(at));
  std::string k_text, m, r_text, ohm;
  line >> k_text >> m >> r_text >> ohm;
  EXPECT_EQ(m, "m");
  EXPECT_EQ(ohm, "Ω");
  EXPECT_NEAR(std::stod(k_text.substr(2)), k, 5e-5 * std::fabs(k)) << k_text;
  EXPECT_NEAR(std::stod(r_text.substr(2)), 1 / k, 1e-3 / std::fabs(k)) << r_text;
  // The digits from the first that is not 0: at least five.
  const std::string r_digits = r_text.substr(r_text.find_first_of("123456789"));
  EXPECT_GE(std::count_if(r_digits.begin(), r_digits.end(), ::isdigit), 5) << r_text;
}

// The line's repeats print both R in the same decimals.
TEST(BatchTool, LineInfoAndItsJson) {
  TempDir dir;
  const std::string a = dir.File("a.qmr"), b = dir.File("b.qmr"), line = dir.File("L.vln");
  for (const std::string& survey : {a, b})
    ASSERT_EQ(Batch("synth --layout dipole-dipole --rho 100 --blocks 4 --channels 3 --electrodes 12 " + survey).status,
              0);
  ASSERT_EQ(Batch("line new " + line + " " + a + " " + b + "@10").status, 0);
  const BatchRun text = Batch("line info " + line);
  ASSERT_EQ(text.status, 0) << text.out;
  const Json json = Json::parse(Batch("line info --json " + line).out);
  EXPECT_EQ(text.out.substr(0, text.out.find('\n')),
            line + ": " + std::to_string(json[json_key::FileCount].get<int>()) + " files, " +
                std::to_string(json[json_key::RecordCount].get<int>()) + " records, " +
                std::to_string(json[json_key::ElectrodeCount].get<int>()) + " electrodes, 0 excluded");
  ASSERT_FALSE(json[json_key::Repeats].empty());
  const std::regex repeat(": R (-?[0-9]+)\\.([0-9]+) Ω to (-?[0-9]+)\\.([0-9]+) Ω, [0-9]+\\.[0-9]{2} %");
  int lines = 0;
  for (auto it = std::sregex_iterator(text.out.begin(), text.out.end(), repeat); it != std::sregex_iterator(); ++it) {
    ++lines;
    EXPECT_EQ((*it)[2].length(), (*it)[4].length()) << it->str();
    EXPECT_GE((*it)[1].length() + (*it)[2].length() - ((*it)[1].str()[0] == '-'), 4u) << it->str();
  }
  EXPECT_EQ(lines, static_cast<int>(json[json_key::Repeats].size()));
}

// The line's commands' own faults: a negative limit, a record and every record at once,
// what an export counts, a folder whose name holds an '@'.
TEST(BatchTool, LineCommandsRefuseWhatCannotBeMeant) {
  TempDir dir;
  std::filesystem::create_directory(dir.File("dir@x"));
  const std::string survey = dir.File("dir@x/a.qmr"), line = dir.File("L.vln");
  ASSERT_EQ(Batch("synth --blocks 4 --channels 3 --electrodes 12 " + survey).status, 0);
  // Electrode 2 moved onto electrode 1: the records using both have no K.
  WriteSurveyFloat(survey, file_format::ElectrodeTableOffset + 16 + 4, 0.0f);
  ASSERT_EQ(Batch("line new " + line + " " + survey + "@20").status, 0);
  const LineProject project = ReadLineProject(line);
  ASSERT_EQ(project.surveys.size(), 1u);
  EXPECT_EQ(project.surveys[0].file, "dir@x/a.qmr");
  EXPECT_EQ(project.surveys[0].offset_m, 20);

  const std::vector<unsigned char> written = ReadWholeFile(line);
  EXPECT_EQ(Batch("line exclude " + line + " --max-error -0.5").status, 2);
  EXPECT_EQ(Batch("line include " + line + " --record " + survey + ":1 --all-manual").status, 2);
  EXPECT_EQ(ReadWholeFile(line), written);
  ASSERT_EQ(Batch("line exclude " + line + " --record " + survey + ":11 --record " + survey + ":12").status, 0);
  const BatchRun exported = Batch("line export " + line + " --format csv");
  EXPECT_EQ(exported.status, 0);
  // The first block's three records have A and B at 0 m: no K. Two more are excluded.
  EXPECT_EQ(exported.out, dir.File("L.csv") + ": 7 records, 2 excluded, 3 left out\n");

  // The decay's rules are set and taken off as the others, and info counts them.
  EXPECT_EQ(Batch("line exclude " + line + " --max-decay-misfit -1").status, 2);
  ASSERT_EQ(Batch("line exclude " + line + " --max-decay-misfit 4.5 --decay-not-monotone").status, 0);
  EXPECT_EQ(ReadLineProject(line).rules.max_decay_misfit, 4.5);
  EXPECT_TRUE(ReadLineProject(line).rules.decay_not_monotone);
  const std::string info = Batch("line info " + line).out;
  EXPECT_NE(info.find("\ndecay misfit: "), std::string::npos) << info;
  EXPECT_NE(info.find("\ndecay not monotone: "), std::string::npos) << info;
  ASSERT_EQ(Batch("line exclude " + line + " --max-decay-misfit off").status, 0);
  EXPECT_FALSE(ReadLineProject(line).rules.max_decay_misfit);
}

// The man pages and the completion follow the declaration: every command, every option.
TEST(BatchTool, ManPagesAndCompletionFollowTheDeclaration) {
  const std::vector<unsigned char> page = ReadWholeFile(std::string(VOSTREL_DOCUMENTS) + "/vostrel-batch.1");
  const std::string man(page.begin(), page.end());
  for (const CommandDeclaration& command : BatchCommands()) {
    EXPECT_NE(man.find("vostrel-batch " + command.words), std::string::npos) << command.words;
    const DeclaredCommand declared = Declare(command);
    for (const CLI::Option* option : DeclaredOptions(*declared.app))
      for (const std::string& name : option->get_lnames())
        EXPECT_NE(man.find("\\-\\-" + std::regex_replace(name, std::regex("-"), "\\-")), std::string::npos)
            << command.words << " --" << name;
  }
  auto complete = [](const std::string& line, const std::string& folder = ".") {
    const std::string script = std::string(VOSTREL_DOCUMENTS) + "/vostrel-batch.bash";
    return Batch("--version >/dev/null; cd \"" + folder + "\" && bash -c 'source \"" + script + "\"; COMP_WORDS=(" +
                 line + "); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); _vostrel_batch; echo \"${COMPREPLY[*]}\"'")
        .out;
  };
  EXPECT_EQ(complete("vostrel-batch exp"), "export\n");
  EXPECT_EQ(complete("vostrel-batch line e"), "exclude export\n");
  EXPECT_EQ(complete("vostrel-batch line o"), "offset\n");
  // Any file of a kind the command takes, and no other.
  TempDir folder;
  for (const char* name : {"a.qmr", "L.vln", "t.csv"}) std::ofstream(folder.File(name)) << "";
  EXPECT_EQ(complete("vostrel-batch section \"\"", folder.Path().string()), "a.qmr L.vln t.csv\n");
  EXPECT_EQ(complete("vostrel-batch line add \"\"", folder.Path().string()), "L.vln a.qmr\n");
  EXPECT_EQ(complete("vostrel-batch info \"\"", folder.Path().string()), "a.qmr\n");
  EXPECT_EQ(complete("vostrel-batch line exclude L.vln --max-k \"\""), "off\n");
  EXPECT_EQ(complete("vostrel-batch export --ip-error \"\""), "stack decay\n");
  EXPECT_EQ(complete("vostrel-batch export --format \"\""), "txt csv ohm res2dinv\n");
  EXPECT_EQ(complete("vostrel-batch export --max-e"), "--max-error\n");
  EXPECT_EQ(complete("vostrel-batch line exclude L.vln --neg"), "--negative-rhoa\n");
  EXPECT_EQ(complete("vostrel-batch synth --layout p"), "pole-dipole\n");
#ifdef VOSTREL_WITH_PLOT
  EXPECT_EQ(complete("vostrel-batch plot --pseudosection \"\""), "rhoa ip error classes\n");
#endif
}

// The README's command summary lists every option of every command, and no other; its
// JSON keys are the ones the documents carry.
TEST(BatchTool, TheReadmeSummaryListsEveryOption) {
  std::ifstream readme(VOSTREL_README);
  std::vector<std::string> lines;
  for (std::string line; std::getline(readme, line);) lines.push_back(line);
  ASSERT_GT(lines.size(), 100u);
  for (const CommandDeclaration& command : BatchCommands()) {
    SCOPED_TRACE(command.words);
    std::set<std::string> listed, declared;
    const std::string start = "    vostrel-batch " + command.words + " ";
    int summaries = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
      if (lines[i].rfind(start, 0) != 0) continue;
      ++summaries;
      std::string summary = lines[i].substr(start.size());
      for (size_t j = i + 1; j < lines.size() && lines[j].rfind("      ", 0) == 0; ++j) summary += " " + lines[j];
      const std::regex option("(^|[\\s\\[(|])(--?[a-z][a-z0-9-]*)");
      for (auto it = std::sregex_iterator(summary.begin(), summary.end(), option); it != std::sregex_iterator(); ++it)
        listed.insert((*it)[2]);
    }
    EXPECT_EQ(summaries, 1);
    const DeclaredCommand declared_command = Declare(command);
    for (const CLI::Option* option : DeclaredOptions(*declared_command.app)) {
      for (const std::string& name : option->get_lnames())
        if (name != "help") declared.insert("--" + name);
      for (const std::string& name : option->get_snames())
        if (name != "h") declared.insert("-" + name);
    }
    EXPECT_EQ(listed, declared);
  }
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  for (const JsonKeyMeaning& key : JsonKeys())
    EXPECT_NE(text.find("`" + std::string(key.name) + "`"), std::string::npos) << key.name;
}

#ifdef VOSTREL_WITH_PLOT
// Without a display the window says it needs one and exits 1, where Qt would abort.
TEST(BatchTool, TheWindowWithoutADisplaySaysSo) {
  const BatchRun run = Batch("--version >/dev/null; env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " +
                             std::string(VOSTREL_WINDOW));
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out,
            "vostrel: the window needs a display, and none could be opened (neither DISPLAY nor "
            "WAYLAND_DISPLAY is set); vostrel-batch works without one\n");
}
#endif

}  // namespace

namespace {

// The rows of a comma-separated file, each split into its fields.
std::vector<std::vector<std::string>> CsvRows(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::vector<std::string>> rows;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::vector<std::string> fields;
    std::stringstream split(line);
    for (std::string field; std::getline(split, field, ',');) fields.push_back(field);
    if (!line.empty() && line.back() == ',') fields.emplace_back();
    rows.push_back(fields);
  }
  return rows;
}

}  // namespace

// The view's points as a table: ρa, M and the stacking error as the comma table writes
// them, for a survey and for a line, whose left-out records are marked with their cause.
TEST_F(BatchToolTest, SectionTablesCarryTheCommaTablesValues) {
  const std::string survey = dir_.File("ip.qmr");
  ASSERT_EQ(Batch("synth --blocks 4 --channels 4 --periods 4 --rho 80 --chargeability 30 --noise 0.2 " + survey).status,
            0);
  ASSERT_EQ(Batch("section --ip " + survey + " " + dir_.File("points.csv")).status, 0);
  ASSERT_EQ(Batch("export --format csv --ip " + survey).status, 0);
  const auto points = CsvRows(dir_.File("points.csv")), table = CsvRows(dir_.File("ip.csv"));
  ASSERT_EQ(points.size(), 17u);
  ASSERT_EQ(table.size(), 17u);
  EXPECT_EQ(points[0], (std::vector<std::string>{"survey", "record", "A", "B", "M", "N", "x", "pseudo_depth",
                                                 "ground_z", "rhoa", "chargeability", "dev", "excluded", "cause"}));
  for (size_t i = 1; i < points.size(); ++i) {
    EXPECT_EQ(points[i][0], "ip.qmr");
    EXPECT_EQ(points[i][1], std::to_string(i));
    EXPECT_EQ(points[i][9], table[i][8]) << "ρa of record " << i;
    EXPECT_EQ(points[i][10], table[i][9]) << "M of record " << i;
    EXPECT_EQ(points[i][11], table[i][6]) << "the stacking error of record " << i;
    EXPECT_EQ(points[i][12], "no");
  }

  const std::string second = dir_.File("second.qmr"), line = dir_.File("line.vln");
  ASSERT_EQ(Batch("synth --blocks 4 --channels 4 --periods 4 --rho 40 --seed 3 " + second).status, 0);
  ASSERT_EQ(Batch("line new " + line + " " + survey + " " + second + "@20").status, 0);
  ASSERT_EQ(Batch("line exclude " + line + " --record " + second + ":2").status, 0);
  std::ofstream(dir_.File("topo.txt")) << "-10 99\n300 130\n";
  ASSERT_EQ(Batch("line topo " + line + " " + dir_.File("topo.txt")).status, 0);
  ASSERT_EQ(Batch("section " + line + " " + dir_.File("line-points.csv")).status, 0);
  ASSERT_EQ(Batch("line export " + line + " --format csv").status, 0);
  const auto line_points = CsvRows(dir_.File("line-points.csv")), line_table = CsvRows(dir_.File("line.csv"));
  ASSERT_EQ(line_points.size(), 33u);
  ASSERT_EQ(line_table.size(), 32u) << "the export leaves the excluded record out";
  size_t kept = 1;
  for (size_t i = 1; i < line_points.size(); ++i) {
    if (line_points[i][0] == "second.qmr" && line_points[i][1] == "2") {
      EXPECT_EQ(line_points[i][12], "yes");
      EXPECT_EQ(line_points[i][13], "by hand");
      continue;
    }
    EXPECT_NEAR(std::stod(line_points[i][8]), 99 + (std::stod(line_points[i][6]) + 10) * 0.1, 0.0015)
        << "the ground under x of row " << i;
    EXPECT_EQ(line_points[i][12], "no");
    EXPECT_EQ(line_points[i][9], line_table[kept][8]) << "ρa of row " << i;
    EXPECT_EQ(line_points[i][11], line_table[kept][6]) << "the stacking error of row " << i;
    ++kept;
  }
  EXPECT_EQ(Batch("section --flip-sign " + line + " " + dir_.File("x.csv")).status, 2) << "a line's own processing";
  EXPECT_EQ(Batch("section " + survey).status, 2);
  EXPECT_EQ(Batch("section " + dir_.File("none.qmr") + " " + dir_.File("x.csv")).status, 1);
}

// A survey is only ever read, whatever is named as an output; a failure to write names
// the file that could not be written, the report on standard output included; a cut
// survey is told of in a line as everywhere.
TEST_F(BatchToolTest, OutputsNeverReplaceInputsAndFailuresNameWhatFailed) {
  const std::vector<unsigned char> raw = ReadWholeFile(survey_);
  std::filesystem::copy_file(survey_, dir_.File("copy.qmr"));
  EXPECT_EQ(Batch("section " + survey_ + " " + dir_.File("copy.qmr")).status, 2);
  std::filesystem::create_symlink(survey_, dir_.File("same.csv"));
  EXPECT_EQ(Batch("section " + survey_ + " " + dir_.File("same.csv")).status, 1);
  std::filesystem::copy_file(survey_, dir_.File("v.png"));
  EXPECT_EQ(Batch("plot --record 1 " + dir_.File("v.png") + " " + dir_.File("v.png")).status, 2);
  EXPECT_EQ(ReadWholeFile(survey_), raw);
  EXPECT_EQ(ReadWholeFile(dir_.File("copy.qmr")), raw);
  EXPECT_EQ(ReadWholeFile(dir_.File("v.png")), raw);

  std::filesystem::create_directories(dir_.File("out/survey.TXT"));
  EXPECT_EQ(Batch("export --out-dir " + dir_.File("out") + " " + survey_).out,
            dir_.File("out/survey.TXT") + ": File access denied\n");
  const std::string told = dir_.File("told.txt");
  const int full = std::system((std::string(VOSTREL_BATCH) + " check " + survey_ + " >/dev/full 2>" + told).c_str());
  EXPECT_EQ(WIFEXITED(full) ? WEXITSTATUS(full) : -1, 1);
  const std::vector<unsigned char> message = ReadWholeFile(told);
  EXPECT_EQ(std::string(message.begin(), message.end()),
            "vostrel-batch: standard output: not all of it could be written\n");

  const std::string cut = dir_.File("cut.qmr"), empty = dir_.File("empty.qmr");
  for (const std::string& file : {cut, empty}) std::filesystem::copy_file(survey_, file);
  std::filesystem::resize_file(cut, raw.size() - 100);
  std::filesystem::resize_file(empty, 8000);  // inside the first block
  const BatchRun made = Batch("line new " + dir_.File("L.vln") + " " + cut);
  EXPECT_EQ(made.status, 0);
  EXPECT_NE(made.out.find(cut + ": the file ends inside block 3"), std::string::npos) << made.out;
  EXPECT_NE(Batch("line info " + dir_.File("L.vln")).out.find(cut + ": the file ends inside block 3"),
            std::string::npos);
  EXPECT_EQ(Batch("line new " + dir_.File("E.vln") + " " + empty).out,
            empty + ": no complete record: a line takes surveys with records\n");
}
