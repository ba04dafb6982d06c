// The files the inversion programs load, read back by the rules of their own loaders:
// every record carried must give back its electrodes, its resistance and, through the
// geometry, the half-space the synthetic survey was written over.

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <numbers>

#include "formats/ohm_file.h"
#include "formats/plain_number.h"
#include "formats/res2dinv_file.h"
#include "geometry/apparent_resistivity.h"
#include "geometry/geometric_factor.h"
#include "measurement/in_out_error.h"
#include "output/table_export.h"
#include "peer_readers.h"
#include "processing/record_chargeability.h"
#include "processing/record_evaluation.h"
#include "synthetic/synthetic_survey.h"
#include "test_support.h"

namespace {

std::optional<double> Placed(double x) { return std::isnan(x) ? std::nullopt : std::optional<double>(x); }

// ρa of a record as a loader sees it: its positions' geometric factor times its R.
double LoadedRhoa(const PeerRecord& record) {
  return GeometricFactor({Placed(record.a), Placed(record.b), Placed(record.m), Placed(record.n)}) * record.r;
}

class ExchangeFormatsTest : public ::testing::TestWithParam<SynthLayout> {
 protected:
  void SetUp() override {
    SynthOptions o{.blocks = 12,
                   .channels = 5,
                   .electrodes = 32,
                   .spacing_m = 2.5f,
                   .half_period = 200,
                   .second_length = 200,
                   .period_count = 2,
                   .noise_mv = 0.01,
                   .seed = 11,
                   .physical = true,
                   .layout = GetParam(),
                   .rho_ohm_m = 100};
    WriteSyntheticSurvey(path_, o);
    v_ = FreshVari(path_);
    OpenSurvey(*v_);
  }
  ExportReport Export(ExportFormat format, std::optional<double> max_error = std::nullopt) {
    return ExportSurvey(*v_->survey, {.format = format, .max_error_pct = max_error},
                        RecordOptions{.flip_sign = false, .abs_du = false});
  }
  void ExpectTheHalfSpace(const PeerSurvey& survey, const char* format) {
    EXPECT_TRUE(survey.problems.empty()) << format << ": " << survey.problems.front();
    ASSERT_EQ(static_cast<int>(survey.records.size()), v_->survey->RecordCount) << format;
    for (const PeerRecord& record : survey.records) EXPECT_NEAR(LoadedRhoa(record), 100, 0.5) << format;
  }

  TempDir dir_;
  std::string path_ = dir_.File("line 4.qmr");
  std::unique_ptr<Vari> v_;
};

TEST_P(ExchangeFormatsTest, EveryFormatLoadsAsTheHalfSpace) {
  ASSERT_GT(v_->survey->RecordCount, 0);
  EXPECT_EQ(Export(ExportFormat::Csv).written, v_->survey->RecordCount);
  PeerSurvey csv = ReadLikeTableParser(dir_.File("line 4.csv"));
  ExpectTheHalfSpace(csv, "csv");
  for (const PeerRecord& record : csv.records) EXPECT_NEAR(record.extra, 100, 0.5) << "the Rho column";

  EXPECT_EQ(Export(ExportFormat::Ohm).written, v_->survey->RecordCount);
  PeerSurvey ohm = ReadLikeOhmLoaders(dir_.File("line 4.ohm"));
  ExpectTheHalfSpace(ohm, "ohm");
  for (size_t i = 0; i < ohm.records.size(); ++i) {
    EXPECT_NEAR(ohm.records[i].extra, 100, 0.5) << "the rhoa field";
    // Both carry the stacking error whatever the sign of dU: a dipole-dipole's negative
    // dU is no error.
    EXPECT_NEAR(ohm.records[i].error, csv.records[i].error / 100, 1e-4) << "Dev. in %, err as a fraction";
    EXPECT_LT(csv.records[i].error, 5) << "a half-space with little noise";
  }

  EXPECT_EQ(Export(ExportFormat::Res2dinv).written, v_->survey->RecordCount);
  ExpectTheHalfSpace(ReadLikeRes2dinvLoaders(dir_.File("line 4.dat")), "res2dinv");
}

INSTANTIATE_TEST_SUITE_P(Layouts, ExchangeFormatsTest,
                         ::testing::Values(SynthLayout::DipoleDipole, SynthLayout::Wenner, SynthLayout::Gradient,
                                           SynthLayout::PoleDipole));

// A remote A or M, records without K or with NaN, and the error limit.
TEST(ExchangeFormats, RemoteElectrodesAndRecordsThatCannotBeCarried) {
  TempDir dir;
  TestSurvey survey;
  survey.header = {1000, 60, 60, 1};    // S = 240
  survey.electrodes = {0, 10, 20, 25};  // uneven gaps: the unit spacing is the smallest
  auto block = [](int32_t a, int32_t b, std::vector<TestChannel> channels, float millivolts) {
    TestBlock block{a, b, {}, channels};
    for (float level : {0.1f, 0.0f, 0.1f, 0.0f}) block.current.insert(block.current.end(), 60, level);
    std::vector<float> voltage;
    for (float sign : {1.0f, 0.0f, -1.0f, 0.0f}) voltage.insert(voltage.end(), 60, sign * millivolts / 1000);
    for (TestChannel& channel : block.channels) channel.voltage = voltage;
    return block;
  };
  TestBlock no_current = block(1, 2, {{3, 4, {}}}, 5);
  no_current.current.assign(240, 0.0f);                       // a broken cable: R is infinite
  survey.blocks = {block(0, 1, {{2, 3, {}}, {3, 0, {}}}, 5),  // A remote; then pole-pole, N remote too
                   block(1, 2, {{4, 3, {}}, {1, 3, {}}}, 5),  // a dipole-dipole; then A at M: no K
                   block(1, 2, {{3, 4, {}}}, 0),              // no signal: error 100
                   no_current};
  survey.Write(dir.File("mixed.qmr"));
  auto v = FreshVari(dir.File("mixed.qmr"));
  OpenSurvey(*v);
  ASSERT_EQ(v->survey->RecordCount, 6);
  std::vector<double> rhoa;
  {
    DataFileSession session(v->work.DataFile, v->survey->DataFileName);
    for (int k = 1; k <= 6; ++k) {
      rhoa.push_back(EvaluateRecord(*v->survey, v->work, k, {}).resistivity.rhoa);
    }
  }
  const RecordOptions evaluate{};
  ExportReport dat = ExportSurvey(*v->survey, {.format = ExportFormat::Res2dinv}, evaluate);
  EXPECT_EQ(dat.written, 4);
  EXPECT_EQ(dat.left_out, 2) << "the record without K, the record without current";
  PeerSurvey loaded = ReadLikeRes2dinvLoaders(dir.File("mixed.dat"));
  ASSERT_TRUE(loaded.problems.empty()) << loaded.problems.front();
  ASSERT_EQ(loaded.records.size(), 4u);
  // The pole of a remote A is B, the sign of R turned with it: the loader finds the same ρa.
  EXPECT_NEAR(LoadedRhoa(loaded.records[0]), rhoa[0], 1e-4 * std::fabs(rhoa[0]));
  EXPECT_NEAR(LoadedRhoa(loaded.records[1]), rhoa[1], 1e-4 * std::fabs(rhoa[1]));
  EXPECT_NEAR(LoadedRhoa(loaded.records[2]), rhoa[2], 1e-4 * std::fabs(rhoa[2]));

  ExportReport ohm = ExportSurvey(*v->survey, {.format = ExportFormat::Ohm, .max_error_pct = 0.0}, evaluate);
  EXPECT_EQ(ohm.written, 3) << "steady levels: a stacking error of exactly 0 is within a limit of 0";
  EXPECT_EQ(ohm.left_out, 3) << "no K, no current, and the no-signal record's 100 %";
  PeerSurvey ohm_loaded = ReadLikeOhmLoaders(dir.File("mixed.ohm"));
  ASSERT_TRUE(ohm_loaded.problems.empty()) << ohm_loaded.problems.front();
  EXPECT_TRUE(std::isnan(ohm_loaded.records[0].a)) << "index 0 for the remote A";
  EXPECT_TRUE(std::isnan(ohm_loaded.records[1].n));

  ExportSurvey(*v->survey, {.format = ExportFormat::Csv}, evaluate);
  PeerSurvey csv = ReadLikeTableParser(dir.File("mixed.csv"));
  ASSERT_EQ(csv.records.size(), 6u);
  EXPECT_TRUE(std::isnan(csv.records[1].a) && std::isnan(csv.records[1].n)) << "pole-pole keeps its two remotes apart";
  EXPECT_THROW(ExportSurvey(*v->survey, {.format = ExportFormat::Text, .max_error_pct = 5.0}, evaluate), InOutError);
}

// Chargeability rides with every record: M (and the gates) in the comma table, ip in
// the unified format, the IP block and column of the general array, rows of three
// electrodes included.
TEST(ExchangeFormats, ChargeabilityTravelsWithEveryFormat) {
  for (SynthLayout layout : {SynthLayout::DipoleDipole, SynthLayout::PoleDipole}) {
    TempDir dir;
    SynthOptions o{.blocks = 3, .channels = 4, .electrodes = 12, .half_period = 400, .second_length = 400};
    o.physical = true;
    o.layout = layout;
    o.rho_ohm_m = 100;
    o.noise_mv = 0.05;
    o.chargeability_mv_v = 40;
    o.tau_ms = 60;
    WriteSyntheticSurvey(dir.File("ip.qmr"), o);
    auto v = FreshVari(dir.File("ip.qmr"));
    OpenSurvey(*v);
    IpSettings settings;
    settings.gates = ParseGates("10:50,50:150", v->survey->HalfPeriod, v->survey->SampleRate);
    std::vector<Chargeability> expected;
    {
      DataFileSession session(v->work.DataFile, v->survey->DataFileName);
      for (int k = 1; k <= v->survey->RecordCount; ++k) {
        expected.push_back(*EvaluateRecord(*v->survey, v->work, k, {}, &settings).ip);
        ASSERT_GT(expected.back().m, 5) << "a polarised survey";
      }
    }
    const RecordOptions evaluate{};
    for (ExportFormat format : {ExportFormat::Csv, ExportFormat::Ohm, ExportFormat::Res2dinv}) {
      ExportReport report = ExportSurvey(*v->survey, {.format = format, .ip = settings}, evaluate);
      ASSERT_EQ(report.written, v->survey->RecordCount);
      PeerSurvey loaded = format == ExportFormat::Csv   ? ReadLikeTableParser(report.file)
                          : format == ExportFormat::Ohm ? ReadLikeOhmLoaders(report.file)
                                                        : ReadLikeRes2dinvLoaders(report.file);
      ASSERT_TRUE(loaded.problems.empty()) << report.file << ": " << loaded.problems.front();
      ASSERT_EQ(loaded.records.size(), expected.size());
      for (size_t k = 0; k < expected.size(); ++k) {
        EXPECT_NEAR(loaded.records[k].ip, expected[k].m, 1e-3) << report.file << " record " << k + 1;
        if (format != ExportFormat::Res2dinv) {
          EXPECT_NEAR(loaded.records[k].ip_error, expected[k].m_interval, 1e-3) << report.file << " record " << k + 1;
        }
        EXPECT_NEAR(LoadedRhoa(loaded.records[k]), 100, 0.5) << report.file;
      }
      if (format == ExportFormat::Csv) {
        ASSERT_EQ(loaded.records[0].gates.size(), 2u);
        EXPECT_NEAR(loaded.records[0].gates[1], expected[0].gates[1].m, 1e-3);
      }
    }
    std::ifstream dat(dir.File("ip.dat"));
    std::string line;
    std::vector<std::string> lines;
    while (std::getline(dat, line)) lines.push_back(line.substr(0, line.find('\r')));
    ASSERT_GT(lines.size(), 12u);
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 8, lines.begin() + 12),
              (std::vector<std::string>{"1", "Chargeability", "mV/V", "0.01000000,0.1400000"}))
        << "the IP block: delay and integration time in seconds";
    EXPECT_THROW(ExportSurvey(*v->survey, {.format = ExportFormat::Text, .ip = settings}, evaluate), InOutError)
        << "the specified table has no room for M";
  }
}

// With chargeability a row needs a finite M too; it is left out of the inversion files
// and counted, never written as nan or inf.
TEST(ExchangeFormats, RowsWithoutAFiniteMAreLeftOut) {
  std::vector<SurveyRow> rows;
  for (double m : {12.5, std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()}) {
    SurveyRow& row = rows.emplace_back();
    row.k = static_cast<int>(rows.size());
    row.positions = {0, 1, 2, 3};
    row.result = {-10, 100, 0.5, 0};
    row.spread_pct = 0.5;
    row.resistivity = ResistivityOf(row.positions, row.result);
    row.ip = RowChargeability{m, 0.1, {}};
  }
  for (const FormatLines& file : {OhmLines(rows), Res2dinvLines(rows, "ip", Gate{10, 50})}) {
    EXPECT_EQ(file.written, 1);
    EXPECT_EQ(file.left_out, 2);
    for (const std::string& line : file.lines)
      EXPECT_TRUE(line.find("nan") == std::string::npos && line.find("inf") == std::string::npos) << line;
  }
  // Every row left out: the file is still one with chargeability.
  rows.erase(rows.begin());
  const FormatLines none = OhmLines(rows);
  EXPECT_EQ(none.written, 0);
  EXPECT_NE(std::find(none.lines.begin(), none.lines.end(), "# a b m n r rhoa k err ip iperr"), none.lines.end());
}

// The test readers see what the loaders would misread: an exponent, a negative integer.
TEST(PeerReaders, SeeWhatPatternLoadersMisread) {
  TempDir dir;
  const std::string ohm = dir.File("x.ohm");
  for (const char* r : {"1e-05", "-5"}) {
    std::string text = std::string("2\n# x y z\n0.0 0.0 0.0\n1.0 0.0 0.0\n1\n# a b m n r\n1 0 2 0 ") + r + "\n0\n";
    WriteWholeFile(ohm, std::vector<unsigned char>(text.begin(), text.end()));
    EXPECT_FALSE(ReadLikeOhmLoaders(ohm).problems.empty()) << r;
  }
  std::string good = "2\n# x y z\n0.0 0.0 0.0\n1.0 0.0 0.0\n1\n# a b m n r\n1 0 2 0 -0.00001\n0\n";
  WriteWholeFile(ohm, std::vector<unsigned char>(good.begin(), good.end()));
  PeerSurvey read = ReadLikeOhmLoaders(ohm);
  ASSERT_TRUE(read.problems.empty());
  EXPECT_EQ(read.records.at(0).r, -0.00001);
}

TEST(PlainNumber, SevenSignificantDigitsNeverAnExponent) {
  EXPECT_EQ(PlainNumber(0.36712), "0.3671200");
  EXPECT_EQ(PlainNumber(-0.00001234567), "-0.00001234567");
  EXPECT_EQ(PlainNumber(123456789.0), "123456789.0");
  EXPECT_EQ(PlainNumber(-5), "-5.000000");
  EXPECT_EQ(PlainNumber(0), "0.0");
}

}  // namespace
