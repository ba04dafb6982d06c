// The batch tool as a user runs it: its output, its exit codes and its files.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <limits>
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

TEST_F(BatchToolTest, InfoDescribesTheSurvey) {
  BatchRun run = Batch("info " + survey_);
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("samples_per_curve: 8000\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("records: 12\n"), std::string::npos);
  EXPECT_NE(run.out.find("blocks: 3\n"), std::string::npos);
}

// What synth says it wrote is what the file is found to hold: a Wenner layout has one
// channel a block, and reciprocals add a block of one channel each.
TEST_F(BatchToolTest, SynthSaysWhatTheFileHolds) {
  const std::string file = dir_.File("layout.qmr");
  for (const char* options : {"--layout wenner --channels 3 --blocks 5", "--blocks 2 --channels 6",
                              "--layout dipole-dipole --reciprocal --blocks 3 --channels 4"}) {
    SCOPED_TRACE(options);
    const BatchRun synth = Batch(std::string("synth --periods 1 ") + options + " " + file);
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

TEST_F(BatchToolTest, SynthOptionsAreReadWholeAndTheLastOneCounts) {
  EXPECT_EQ(Batch("synth --blocks 12abc " + dir_.File("a.qmr")).status, 2);
  EXPECT_EQ(Batch("synth --noise 0.5x " + dir_.File("a.qmr")).status, 2);
  EXPECT_EQ(Batch("synth --channels 21 " + dir_.File("a.qmr")).status, 2);
  ASSERT_EQ(Batch("synth --blocks 9 --blocks 2 --channels 20 " + dir_.File("a.qmr")).status, 0);
  BatchRun info = Batch("info " + dir_.File("a.qmr"));
  EXPECT_NE(info.out.find("records: 40\n"), std::string::npos) << info.out;
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
  EXPECT_NE(limited.out.find(survey_ + ": Disk full"), std::string::npos) << limited.out;
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
  EXPECT_NE(run.out.find(dir.File("full.qmr") + ": Слишком много данных.\n\rМаксимум=10000"), std::string::npos)
      << run.out;
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
  EXPECT_EQ(third.substr(0, 13), "K=-376.990  R") << record.out;
  EXPECT_NE(third.find("  rhoa=250.0"), std::string::npos) << third;

  BatchRun ohm = Batch("export --format ohm --max-error 100 " + survey);
  EXPECT_EQ(ohm.status, 0);
  EXPECT_EQ(ohm.out.rfind(dir.File("dd.ohm") + ": 6 records, ", 0), 0u) << ohm.out;
  BatchRun strict = Batch("export --format ohm --max-error 0 " + survey);
  EXPECT_EQ(strict.out.rfind(dir.File("dd.ohm") + ": 0 records, 6 left out, ", 0), 0u) << strict.out;
  EXPECT_EQ(Batch("export --format res2dinv --csv " + survey).status, 0) << "--format rules over --csv";
  EXPECT_TRUE(std::filesystem::exists(dir.File("dd.dat")));
  EXPECT_EQ(Batch("export --format xls " + survey).status, 2);
  EXPECT_EQ(Batch("export --max-error 5 " + survey).status, 2) << "the text table lists every record";
  EXPECT_EQ(Batch("synth --layout ring " + survey).status, 2);
  EXPECT_EQ(Batch("synth --rho -3 " + survey).status, 2);
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
  for (int i = 0; i < 24 && std::getline(lines, line); ++i)
    sizes.push_back(std::fabs(std::stod(line.substr(line.rfind(' ') + 1))));
  ASSERT_EQ(sizes.size(), 24u);
  std::sort(sizes.begin(), sizes.end());
  ASSERT_TRUE(std::getline(lines, line));
  EXPECT_EQ(line, "|error|: median " + PlainNumber((sizes[11] + sizes[12]) / 2, 3) + " p90 " +
                      PlainNumber(sizes[20] + 0.7 * (sizes[21] - sizes[20]), 3) + " max " + PlainNumber(sizes[23], 3));
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
  EXPECT_EQ(Batch("plot --record 1 " + survey_ + " " + dir_.File("x.bmp")).status, 1);

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

  EXPECT_EQ(Batch("ip --gates 10:300 " + dir.File("ip.qmr") + " 1").status, 2) << "a gate beyond the pause";
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
