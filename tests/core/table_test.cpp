#include <gtest/gtest.h>

#include <fstream>
#include <mutex>
#include <sstream>

#include "analysis/error_class.h"
#include "analysis/file_check.h"
#include "formats/table_line.h"
#include "measurement/in_out_error.h"
#include "output/atomic_text_file.h"
#include "output/table_export.h"
#include "output/table_name.h"
#include "platform/file_system.h"
#include "processing/record_evaluation.h"
#include "test_support.h"

namespace {

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0, end;
  while ((end = text.find("\r\n", start)) != std::string::npos) {
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  EXPECT_EQ(start, text.size()) << "nothing may follow the last line end";
  return lines;
}

size_t FieldCount(const std::string& line) {
  return static_cast<size_t>(std::count(line.begin(), line.end(), ' ')) + 1;
}

TEST(TableName, ReplacesTheExtensionAfterTheLastSeparator) {
  EXPECT_EQ(TableFileName("C:\\survey\\line7.qmr"), "C:\\survey\\line7.TXT");
  EXPECT_EQ(TableFileName("C:\\survey\\line7.old.qmr"), "C:\\survey\\line7.old.TXT");
  EXPECT_EQ(TableFileName("C:\\data.old\\line7"), "C:\\data.old\\line7.TXT");
  EXPECT_EQ(TableFileName("/data.old/line7"), "/data.old/line7.TXT");
  EXPECT_EQ(TableFileName("/data/line7.qmr"), "/data/line7.TXT");
  EXPECT_EQ(TableFileName("a:b"), "a:b.TXT");
  EXPECT_EQ(TableFileName("x.qmr", ".csv"), "x.csv");
}

TEST(TableLine, HeaderAndTheWorkedExample) {
  std::string header = TableHeader(ExportFormat::Text);
  EXPECT_EQ(header.size(), 39u);
  EXPECT_EQ(header, "# Spa.1\tSpa.2\tSpa.3\tSpa.4\tVp In Dev. Sp");

  auto v = std::make_unique<Survey>();
  v->ElectrodeTable[1].Coordinate = 20;
  v->ElectrodeTable[2].Coordinate = 25.5f;
  v->ElectrodeTable[3].Coordinate = 30.25f;
  RecordIndexEntry entry{};
  entry.A = 0;
  entry.B = 1;
  entry.M = 2;
  entry.N = 3;
  RecordResultValues result{12.34561, 250, 0.8765, -3.2104};
  EXPECT_EQ(TableLine(ExportFormat::Text, 17, entry, *v, result, 0),
            "17 100000.000 20.000 25.50 30.25 12.346 250.000 0.88 -3.210");
  // A remote current electrode where the resistivity tools look for one; K of the
  // pole-dipole B=20, M=25.5, N=30.25 is 2π / (-1/5.5 + 1/10.25) = -74.5713 m. Dev. is
  // the stacking error, whatever the text table's error shows.
  result.ErrorPct = 50;
  EXPECT_EQ(TableLine(ExportFormat::Csv, 17, entry, *v, result, 0.8765),
            "-99999.000,20.000,25.50,30.25,12.346,250.000,0.88,-3.210,-3.683");

  entry = {};  // every electrode 0
  EXPECT_EQ(TableLine(ExportFormat::Text, 1, entry, *v, {}, 0),
            "1 100000.000 100000.000 100000.00 100000.00 0.000 0.000 0.00 0.000");
}

TEST(TableLine, RoundingOfCoordinatesAndResults) {
  auto v = std::make_unique<Survey>();
  v->ElectrodeTable[1].Coordinate = 12.625f;
  v->ElectrodeTable[2].Coordinate = -12.625f;
  v->ElectrodeTable[3].Coordinate = 12.3f;
  RecordIndexEntry entry{};
  entry.A = 3;
  entry.B = 3;
  entry.M = 1;
  entry.N = 2;
  EXPECT_EQ(TableLine(ExportFormat::Text, 2, entry, *v, {-0.0004, 0.0005, 99.996, 1e-9}, 0),
            "2 12.300 12.300 12.63 -12.63 -0.000 0.001 100.00 0.000");
}

TEST(TableLine, DamagedValuesKeepNineFields) {
  auto v = std::make_unique<Survey>();
  RecordIndexEntry entry{};
  const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
  std::string line = TableLine(ExportFormat::Text, 3, entry, *v, {nan, inf, -inf, 3e40}, 0);
  EXPECT_EQ(line, "3 100000.000 100000.000 100000.00 100000.00 nan inf -inf 3.000e+40");
  EXPECT_EQ(FieldCount(line), 9u);
}

class TableExportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TestSurvey survey;
    survey.header = {1000, 60, 60, 1};  // S = 240, W = 20
    std::vector<float> current, voltage;
    for (float level : {0.1f, 0.0f, 0.1f, 0.0f}) current.insert(current.end(), 60, level);
    for (float level : {0.052f, 0.002f, -0.048f, 0.002f}) voltage.insert(voltage.end(), 60, level);
    current.resize(240);
    voltage.resize(240);
    TestBlock block;
    block.current = current;
    block.channels = {TestChannel{1, 2, voltage}, TestChannel{2, 0, voltage}};
    survey.blocks = {block, block};
    survey.Write(path_);
    v_ = std::make_unique<Survey>(*OpenSurvey(path_).survey);
  }
  std::string Export(RecordOptions options = {}) { return ExportTable(*v_, ExportFormat::Text, options); }

  TempDir dir_;
  std::string path_ = dir_.File("line7.qmr");
  std::string table_ = dir_.File("line7.TXT");
  std::unique_ptr<Survey> v_;
};

TEST_F(TableExportTest, OneLinePerRecordWithCrlf) {
  std::vector<int> progress;
  EXPECT_EQ(
      ExportTable(*v_, ExportFormat::Text, {}, [&](int done, int total) { progress.push_back(done * 100 + total); }),
      table_);
  auto lines = Lines(Slurp(table_));
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[1], "1 10.000 20.000 10.00 20.00 50.000 100.000 0.00 2.000");
  EXPECT_EQ(lines[4], "4 10.000 20.000 20.00 100000.00 50.000 100.000 0.00 2.000");
  EXPECT_EQ(progress, (std::vector<int>{104, 204, 304, 404}));
  for (const auto& entry : std::filesystem::directory_iterator(dir_.Path()))
    EXPECT_TRUE(entry.path().extension() == ".qmr" || entry.path().extension() == ".TXT") << entry.path();
}

TEST_F(TableExportTest, ExportsAreRepeatableAndFollowTheSignOption) {
  Export();
  std::string first = Slurp(table_);
  Export();
  EXPECT_EQ(Slurp(table_), first);

  Export({.flip_sign = true});
  auto flipped = Lines(Slurp(table_));
  EXPECT_EQ(flipped[1], "1 10.000 20.000 10.00 20.00 -50.000 100.000 50.00 -2.000");
  Export({.flip_sign = true, .abs_du = true});
  EXPECT_EQ(Lines(Slurp(table_))[1], "1 10.000 20.000 10.00 20.00 50.000 100.000 0.00 -2.000");
}

TEST_F(TableExportTest, FailureLeavesThePreviousTableUntouched) {
  Export();
  std::string before = Slurp(table_);
  auto failing = [](int done, int) {
    if (done == 2) throw InOutError::ShortRead();
  };
  EXPECT_THROW(ExportTable(*v_, ExportFormat::Text, {.flip_sign = true}, failing), InOutError);
  EXPECT_EQ(Slurp(table_), before);

  Truncate(path_, std::filesystem::file_size(path_) - 1);
  EXPECT_THROW(Export(), InOutError);
  EXPECT_EQ(Slurp(table_), before);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.Path()), {}), 2) << "no partial table left";
}

TEST_F(TableExportTest, NoTableForAnEmptyIndexOrAMissingFolder) {
  v_->RecordCount = 0;
  EXPECT_THROW(Export(), InOutError);
  EXPECT_FALSE(std::filesystem::exists(table_));
  v_->RecordCount = 4;
  std::filesystem::remove(path_);
  try {
    Export();
    FAIL();
  } catch (const InOutError& error) {
    EXPECT_STREQ(error.what(), "File not found");
  }
  EXPECT_FALSE(std::filesystem::exists(table_));
}

TEST_F(TableExportTest, MeasurementFileNamedLikeItsTableIsNeverReplaced) {
  for (const char* name : {"line7.TXT", "line7.txt", "line7.Txt"}) {
    std::string renamed = dir_.File(name);
    std::filesystem::copy_file(path_, renamed);
    auto bytes = ReadWholeFile(renamed);
    v_->DataFileName = renamed;
    EXPECT_THROW(Export(), InOutError) << name;
    EXPECT_EQ(ReadWholeFile(renamed), bytes);
    std::filesystem::remove(renamed);
  }
}

TEST_F(TableExportTest, CommaSeparatedTable) {
  std::string csv = ExportTable(*v_, ExportFormat::Csv, {});
  EXPECT_EQ(csv, dir_.File("line7.csv"));
  auto lines = Lines(Slurp(csv));
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0], "Spa.1,Spa.2,Spa.3,Spa.4,Vp,In,Dev.,Sp,Rho");
  EXPECT_EQ(lines[1], "10.000,20.000,10.00,20.00,50.000,100.000,0.00,2.000,nan") << "A and M coincide: no K";
  EXPECT_EQ(lines[4], "10.000,20.000,20.00,99999.00,50.000,100.000,0.00,2.000,nan") << "B and M coincide: no K";
}

}  // namespace

namespace {

namespace fs = std::filesystem;

size_t FilesIn(const fs::path& folder) {
  return static_cast<size_t>(std::distance(fs::directory_iterator(folder), fs::directory_iterator{}));
}

TEST_F(TableExportTest, ReadOnlyTableIsRefusedAndLeftAsItWas) {
  Export();
  const std::string before = Slurp(table_);
  fs::permissions(table_, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  try {
    Export({.flip_sign = true});
    FAIL() << "a read-only table was replaced";
  } catch (const InOutError& error) {
    EXPECT_STREQ(error.what(), "File access denied");
  }
  EXPECT_EQ(Slurp(table_), before);
  EXPECT_EQ(FilesIn(dir_.Path()), 2u) << "no temporary file left";
}

TEST_F(TableExportTest, ReplacedTableKeepsItsPermissionsAndItsLink) {
  Export();
  const fs::perms shared = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
  fs::permissions(table_, shared);
  Export({.flip_sign = true});
  EXPECT_EQ(fs::status(table_).permissions() & fs::perms::mask, shared);
  EXPECT_EQ(Lines(Slurp(table_))[1], "1 10.000 20.000 10.00 20.00 -50.000 100.000 50.00 -2.000");

  // The table name is a link into another folder: the link stays, its target is rewritten.
  fs::create_directory(dir_.Path() / "tables");
  const fs::path target = dir_.Path() / "tables" / "real.TXT";
  fs::rename(table_, target);
  fs::create_symlink(fs::path("tables") / "real.TXT", table_);
  Export();
  EXPECT_TRUE(fs::is_symlink(table_));
  EXPECT_EQ(Lines(Slurp(target.string()))[1], "1 10.000 20.000 10.00 20.00 50.000 100.000 0.00 2.000");
  EXPECT_EQ(FilesIn(dir_.Path() / "tables"), 1u);
}

// A power cut in the field must leave the old table or the whole new one: the new file
// reaches the disk before it takes the table's name, and the name after it.
TEST_F(TableExportTest, TheNewTableReachesTheDiskBeforeItTakesTheName) {
  Export();
  std::mutex mutex;  // the read-ahead opens the survey on a thread of its own
  std::vector<std::string> calls;
  platform::CallObserver previous = platform::SetCallObserver([&](const std::string& call) {
    std::lock_guard lock(mutex);
    if (call.rfind("OpenFile ", 0) != 0 && call.rfind("Read", 0) != 0) calls.push_back(call);
  });
  Export({.flip_sign = true});
  platform::SetCallObserver(previous);
  const std::string temporary = TemporaryFileName(dir_.Path().string(), platform::ProcessId(), 0);
  EXPECT_EQ(calls, (std::vector<std::string>{"CreateNewFile " + temporary, "CopyPermissions " + table_, "FlushToDisk",
                                             "PutInPlaceOf " + temporary + " " + table_,
                                             "SyncFolder " + dir_.Path().string()}));
  EXPECT_EQ(Lines(Slurp(table_))[1], "1 10.000 20.000 10.00 20.00 -50.000 100.000 50.00 -2.000");
}

TEST_F(TableExportTest, NamesNearTheLimitAndStrayTemporaryFiles) {
  const std::string long_name = dir_.File(std::string(250, 'x') + ".qmr");  // 254 bytes, the table too
  fs::copy_file(path_, long_name);
  v_->DataFileName = long_name;
  EXPECT_EQ(Export(), dir_.File(std::string(250, 'x') + ".TXT"));

  v_->DataFileName = path_;
  const std::string stray = TemporaryFileName(dir_.Path().string(), platform::ProcessId(), 0);
  WriteWholeFile(stray, std::vector<unsigned char>{'s'});
  Export();
  EXPECT_EQ(Lines(Slurp(table_)).size(), 5u);
  EXPECT_EQ(ReadWholeFile(stray), std::vector<unsigned char>{'s'}) << "another writer's file is never touched";
}

// A window wholly beyond the curve has no mean: the record is NaN, black, and its
// table fields say nan rather than a plausible half value.
TEST(TableLine, RecordWithoutAnswerIsWrittenAsNan) {
  TempDir dir;
  TestSurvey survey;
  survey.header = {1000, 60, 0, 1};  // S = 120: half-periods 3 and 4 lie beyond the curve
  TestBlock block = SimpleBlock(1);
  block.current.assign(120, 0.1f);
  block.channels[0].voltage.assign(120, 0.05f);
  survey.blocks = {block};
  survey.Write(dir.File("short.qmr"));
  const SharedSurvey v = OpenSurvey(dir.File("short.qmr")).survey;
  ExportTable(*v, ExportFormat::Text, {});
  EXPECT_EQ(Lines(Slurp(dir.File("short.TXT")))[1], "1 10.000 20.000 10.00 20.00 nan nan nan nan");
  std::vector<ErrorClass> classes;
  CheckFile(*v, {}, [&](const CheckPoint& point) { classes.push_back(point.error_class); });
  EXPECT_EQ(classes, std::vector<ErrorClass>{ErrorClass::Black});
}

}  // namespace

namespace {

TEST_F(TableExportTest, TheCheckReportsEveryRecordAndItsProgressToTheEnd) {
  std::vector<int> records, progress;
  CheckFile(
      *v_, {}, [&](const CheckPoint& point) { records.push_back(point.record); },
      [&](int done, int total) { progress.push_back(done * 100 + total); });
  EXPECT_EQ(records, (std::vector<int>{1, 2, 3, 4}));
  EXPECT_EQ(progress, (std::vector<int>{104, 204, 304, 404}));
}

}  // namespace
