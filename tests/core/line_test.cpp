// A survey line built from synthetic surveys with known offsets and elevations: its
// electrodes, its topography, its exclusions and its project file.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <memory>
#include <numbers>
#include <set>

#include "analysis/pseudosection.h"
#include "geometry/quadrupole.h"
#include "line/line_electrodes.h"
#include "line/line_error.h"
#include "line/line_history.h"
#include "line/line_output.h"
#include "line/line_project.h"
#include "line/line_records.h"
#include "line/line_section.h"
#include "line/line_session.h"
#include "line/line_survey.h"
#include "measurement/file_format.h"
#include "peer_readers.h"
#include "processing/record_evaluation.h"
#include "synthetic/synthetic_survey.h"
#include "test_support.h"

namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

SynthOptions Spread() { return LineSpread(); }

// A line of two spreads, the second rolled along by `offset`.
LineProject TwoSpreads(const TempDir& dir, double offset, const SynthOptions& spread = Spread()) {
  WriteSyntheticSurvey(dir.File("s1.qmr"), spread);
  WriteSyntheticSurvey(dir.File("s2.qmr"), spread);
  LineProject project;
  for (auto [file, at] : {std::pair{"s1.qmr", 0.0}, std::pair{"s2.qmr", offset}})
    project.surveys.push_back({file, at, StampOf(dir.File(file))});
  return project;
}

// The rows of a line as the record pass will give them, positions only.
std::vector<LineRecord> Rows(const TempDir& dir, const LineProject& project) {
  std::vector<LineRecord> rows;
  for (size_t file = 0; file < project.surveys.size(); ++file) {
    const SharedSurvey v = OpenSurvey(dir.File(project.surveys[file].file)).survey;
    const double offset = project.surveys[file].offset_m;
    for (int32_t k = 1; k <= v->RecordCount; ++k) {
      const Quadrupole q = QuadrupoleOf(v->ElectrodeTable, v->RecordIndex[static_cast<size_t>(k)]);
      auto shifted = [&](std::optional<double> x) { return x ? std::optional(*x + offset) : std::nullopt; };
      LineRecord row;
      row.ref = {static_cast<int>(file), k};
      row.a = shifted(q.a), row.b = shifted(q.b), row.m = shifted(q.m), row.n = shifted(q.n);
      rows.push_back(row);
    }
  }
  return rows;
}

TEST(LineElectrodes, RolledSpreadsShareTheirCommonElectrodesButNotTheirRecords) {
  TempDir dir;
  const std::string project_path = dir.File("line.vln");
  // Rolled by 20 m: electrodes 5..10 of the first spread are 1..6 of the second, and
  // the quadrupoles of blocks 5 and 6 of the first are blocks 1 and 2 of the second.
  LineProject project = TwoSpreads(dir, 20.0004);  // within the millimetre
  std::vector<double> all;
  for (const IndexedSurvey& survey : IndexLineSurveys(project_path, project)) {
    EXPECT_EQ(survey.record_count, 12);
    all.insert(all.end(), survey.positions.begin(), survey.positions.end());
  }
  // Ground from 0 m at 100 m up to 106 m at 30 m, then down to 99 m at 65 m.
  const Topography ground{ParseTopography("# x z\n0 100\n30,106\n65;99\n", "topo.txt"), false};
  const std::vector<LineElectrode> electrodes = LineElectrodes(all, ground);
  ASSERT_EQ(electrodes.size(), 14u) << "0 to 65 m, every 5 m, each once";
  for (size_t i = 0; i < electrodes.size(); ++i) {
    const double x = 5.0 * static_cast<double>(i);
    EXPECT_NEAR(electrodes[i].position, x, 0.001);
    EXPECT_NEAR(electrodes[i].x, electrodes[i].position, 1e-12) << "horizontal positions as measured";
    EXPECT_NEAR(electrodes[i].z, x <= 30 ? 100 + 0.2 * x : 106 - 0.2 * (x - 30), 1e-3) << "at " << x << " m";
  }

  const std::vector<std::vector<RecordRef>> repeats = Repeats(Rows(dir, project));
  ASSERT_EQ(repeats.size(), 4u);
  for (size_t i = 0; i < repeats.size(); ++i) {
    const int32_t first = 9 + static_cast<int32_t>(i);  // block 5, channel 1 onwards
    EXPECT_EQ(repeats[i], (std::vector<RecordRef>{{0, first}, {1, first - 8}}));
  }

  // A repeat measured the same four electrodes: another N is another quadrupole.
  std::vector<LineRecord> three(3);
  for (int32_t k = 0; k < 3; ++k) three[size_t(k)].ref = {0, k + 1}, three[size_t(k)].a = 0, three[size_t(k)].b = 5;
  for (LineRecord& record : three) record.m = 10, record.n = 15;
  three[1].n = 20;
  EXPECT_EQ(Repeats(three), (std::vector<std::vector<RecordRef>>{{{0, 1}, {0, 3}}}));

  // Two millimetres apart, the electrodes of the overlap stay two, and no record repeats.
  project.surveys[1].offset_m = 20.002;
  all.clear();
  for (const IndexedSurvey& survey : IndexLineSurveys(project_path, project))
    all.insert(all.end(), survey.positions.begin(), survey.positions.end());
  EXPECT_EQ(MergePositions(all).size(), 20u);
  EXPECT_TRUE(Repeats(Rows(dir, project)).empty());

  // The last electrode of a full electrode table is one of the line's too.
  auto full = std::make_unique<Survey>();
  for (size_t e = 1; e <= MaxElectrodes; ++e) full->ElectrodeTable[e].Coordinate = static_cast<float>(e);
  full->RecordCount = 1;
  full->RecordIndex[1].A = 1, full->RecordIndex[1].B = MaxElectrodes;
  full->RecordIndex[1].M = 2, full->RecordIndex[1].N = 3;
  EXPECT_EQ(UsedPositions(*full, 100), (std::vector<double>{101, 102, 103, 100 + MaxElectrodes}));
}

// The spreads of the electrodes test over a half-space of 100 Ω·m, without noise, two
// records excluded by hand; the files read back as the peers' loaders read them.
TEST(LineExport, TheFilesCarryTheMergedElectrodesOnTheGroundAndNoExcludedRecord) {
  TempDir dir;
  SynthOptions half_space = Spread();
  half_space.physical = true, half_space.rho_ohm_m = 100, half_space.noise_mv = 0;
  LineProject project = TwoSpreads(dir, 20.0004, half_space);
  project.excluded_by_hand = {{0, 1}, {1, 12}};
  const std::string path = dir.File("line.vln");

  // Flat ground: ρa is the half-space's wherever the spread lies.
  const LineData flat = EvaluateLine(path, project);
  const std::vector<std::string> info = LineInfoLines("line.vln", project, flat);
  // The electrodes the export writes: not the one at 65 m, which only s2:12 used.
  EXPECT_EQ(info.at(0), "line.vln: 2 files, 24 records, 13 electrodes, 2 excluded");
  EXPECT_EQ(info.at(1), "by hand: 2");
  EXPECT_EQ(info.at(8), "repeats: 4");
  EXPECT_EQ(info.at(9).substr(0, 18), "s1.qmr:9, s2.qmr:1") << info.at(9);
  EXPECT_EQ(info.at(9).substr(info.at(9).size() - 8), ", 0.00 %") << "the same ground, the same R";
  for (size_t i = 0; i < 4; ++i) {  // each repeat's R are its own records' R: s1:9+i and s2:1+i
    const double r1 = flat.records[8 + i].r, r2 = flat.records[12 + i].r;
    char range[64];
    std::snprintf(range, sizeof range, ": R %.4g Ω to %.4g Ω", std::min(r1, r2), std::max(r1, r2));
    EXPECT_NE(info.at(9 + i).find(range), std::string::npos) << info.at(9 + i);
  }
  LineProject ruled = project;
  ruled.rules.max_abs_k = 0;  // every record but those excluded by hand, for |K|
  const std::vector<std::string> ruled_info = LineInfoLines("line.vln", ruled, flat);
  EXPECT_EQ(ruled_info.at(0), "line.vln: 2 files, 24 records, 0 electrodes, 24 excluded");
  EXPECT_EQ(ruled_info.at(3), "|K|: 22");
  // A dipole-dipole dU is negative: the rule judges the windows' own spread, not the
  // fixed 50 % that marks a negative dU in the field's table.
  ExclusionRules spread_rule;
  spread_rule.max_error_pct = 1;
  EXPECT_EQ(Evaluate(flat.records, spread_rule, {}).counts.Excluded(), 0);
  EXPECT_THROW(ExportLine(path, ruled, flat, ExportFormat::Ohm), LineFileError) << "no file without a record";
  EXPECT_FALSE(std::filesystem::exists(dir.File("line.ohm")));
  std::filesystem::create_directory(dir.File("out"));
  EXPECT_EQ(ExportLine(path, project, flat, ExportFormat::Csv, false, dir.File("out")).file, dir.File("out/line.csv"));
  EXPECT_TRUE(std::filesystem::exists(dir.File("out/line.csv")));
  EXPECT_EQ(ExportLine(path, project, flat, ExportFormat::Csv).written, 22);
  const PeerSurvey table = ReadLikeTableParser(dir.File("line.csv"));
  EXPECT_TRUE(table.problems.empty()) << table.problems.front();
  ASSERT_EQ(table.records.size(), 22u);
  for (const PeerRecord& record : table.records) EXPECT_NEAR(record.extra, 100, 0.05);

  // On the ground of the electrodes test, from 100 m up to 106 m at 30 m, down to 99 m.
  project.topography = {ParseTopography("0 100\n30 106\n65 99\n", "topo.txt"), false};
  const LineData line = EvaluateLine(path, project);
  auto ground = [](double x) { return x <= 30 ? 100 + 0.2 * x : 106 - 0.2 * (x - 30); };
  const LineRecord excluded = line.records.front();  // s1:1, measured in no other spread
  for (ExportFormat format : {ExportFormat::Ohm, ExportFormat::Res2dinv}) {
    SCOPED_TRACE(ExportFormatName(format));
    ExportLine(path, project, line, format);
    const PeerSurvey survey = format == ExportFormat::Ohm ? ReadLikeOhmLoaders(dir.File("line.ohm"))
                                                          : ReadLikeRes2dinvLoaders(dir.File("line.dat"));
    EXPECT_TRUE(survey.problems.empty()) << survey.problems.front();
    ASSERT_EQ(survey.records.size(), 22u);
    std::set<double> electrodes;
    for (const PeerRecord& record : survey.records) {
      const std::array<double, 4> x{record.a, record.b, record.m, record.n};
      for (size_t e = 0; e < 4; ++e) {
        electrodes.insert(x[e]);
        EXPECT_NEAR(record.z[e], ground(x[e]), 1e-4) << "at " << x[e] << " m";
      }
      EXPECT_FALSE(x[0] == *excluded.a && x[1] == *excluded.b && x[2] == *excluded.m && x[3] == *excluded.n);
      if (format != ExportFormat::Ohm) continue;
      // ρa over the straight lines between the electrodes where they stand.
      auto inverse = [&](size_t i, size_t j) { return 1 / std::hypot(x[i] - x[j], record.z[i] - record.z[j]); };
      const double k = 2 * std::numbers::pi / (inverse(0, 2) - inverse(1, 2) - inverse(0, 3) + inverse(1, 3));
      EXPECT_NEAR(record.extra, k * record.r, 1e-4 * std::fabs(record.extra));
    }
    // Each electrode of the overlap once, and not the one at 65 m, which only s2:12 used.
    EXPECT_EQ(electrodes.size(), 13u);
    EXPECT_NEAR(*electrodes.rbegin(), 60.0004, 1e-9);
  }
  // Taped along the slope, the electrodes stand nearer each other in x than along the
  // ground: the comma table keeps the positions along the line, which its reader spaces.
  project.topography.tape = true;
  const LineData taped = EvaluateLine(path, project);
  ExportLine(path, project, taped, ExportFormat::Csv);
  for (const PeerRecord& record : ReadLikeTableParser(dir.File("line.csv")).records)
    for (double x : {record.a, record.b, record.m, record.n}) EXPECT_NEAR(std::remainder(x, 5), 0, 1e-3) << x;
  // The general array carries where they stand: horizontal x, and the elevation there.
  std::vector<double> along;
  for (int i = 0; i <= 13; ++i) along.push_back(5.0 * i);
  const std::vector<GroundPoint> stands = PlaceOnGround(project.topography, along);
  ExportLine(path, project, taped, ExportFormat::Res2dinv);
  for (const PeerRecord& record : ReadLikeRes2dinvLoaders(dir.File("line.dat")).records) {
    const std::array<double, 4> x{record.a, record.b, record.m, record.n};
    for (size_t e = 0; e < 4; ++e) {
      auto near = std::ranges::min_element(stands, {}, [&](const GroundPoint& p) { return std::fabs(p.x - x[e]); });
      EXPECT_NEAR(near->x, x[e], 1e-3) << "horizontal, not along the ground";
      EXPECT_NEAR(near->z, record.z[e], 1e-3) << x[e];
    }
  }
}

// Far along a line, spreads rolled by 10005.0004 m (onto the first's electrodes) and by
// 10010.002 m (2 mm beside them): every file tells the 21 electrodes apart, and a rule on
// an electrode judges the line's electrode, whichever spread's coordinate it came from.
TEST(LineExport, FarAlongTheLineEveryFileTellsTheElectrodesApartAndRulesJudgeMergedOnes) {
  TempDir dir;
  LineProject project = TwoSpreads(dir, 10005.0004);
  project.surveys[0].offset_m = 10000;
  WriteSyntheticSurvey(dir.File("s3.qmr"), Spread());
  project.surveys.push_back({"s3.qmr", 10010.002, StampOf(dir.File("s3.qmr"))});
  const std::string path = dir.File("line.vln");
  const LineData line = EvaluateLine(path, project);
  ASSERT_EQ(line.electrodes.size(), 21u);
  for (ExportFormat format : {ExportFormat::Csv, ExportFormat::Ohm, ExportFormat::Res2dinv}) {
    SCOPED_TRACE(ExportFormatName(format));
    ExportLine(path, project, line, format);
    const std::string file = LineExportFileName(path, format);
    const PeerSurvey survey = format == ExportFormat::Csv   ? ReadLikeTableParser(file)
                              : format == ExportFormat::Ohm ? ReadLikeOhmLoaders(file)
                                                            : ReadLikeRes2dinvLoaders(file);
    std::set<double> electrodes;
    for (const PeerRecord& record : survey.records) electrodes.insert({record.a, record.b, record.m, record.n});
    EXPECT_EQ(electrodes.size(), 21u);
  }
  // Rolled by exactly a millimetre, a spread stands on the first one's electrodes.
  project.surveys[1].offset_m = 10000.001;
  project.surveys.pop_back();
  EXPECT_EQ(EvaluateLine(path, project).electrodes.size(), 10u);

  // 0.8 mm before the electrode at 10005 m, which the second spread's 10005.0004 m joined.
  project.surveys[1].offset_m = 10005.0004;
  project.rules.electrodes = {10004.9992};
  int using_it = 0;
  for (const LineRecord& row : Rows(dir, project))
    using_it += std::ranges::any_of(std::array{row.a, row.b, row.m, row.n},
                                    [](const std::optional<double>& x) { return x && std::fabs(*x - 10005) < 0.001; });
  const LineData rolled = EvaluateLine(path, project);
  const Exclusions exclusions = Evaluate(rolled.records, project.rules, {});
  EXPECT_EQ(exclusions.counts.by_cause[static_cast<size_t>(ExclusionCause::Electrode)], using_it);
  EXPECT_EQ(using_it, 6) << "three records of each spread";
}

// Each quadrupole measured again with its dipoles exchanged, after the others, with
// noise: a record's reciprocal error is the relative difference of the two R, in percent.
TEST(LineRecords, ReciprocalErrorComesFromThePairInTheSameSurvey) {
  TempDir dir;
  SynthOptions noisy = Spread();
  noisy.physical = true, noisy.rho_ohm_m = 100, noisy.noise_mv = 20, noisy.reciprocal = true;
  WriteSyntheticSurvey(dir.File("r.qmr"), noisy);
  LineProject project;
  project.surveys.push_back({"r.qmr", 0, StampOf(dir.File("r.qmr"))});
  const LineData line = EvaluateLine(dir.File("line.vln"), project);
  ASSERT_EQ(line.records.size(), 24u);
  for (size_t normal = 0; normal < 12; ++normal) {
    const LineRecord& n = line.records[normal];
    const LineRecord& r = line.records[normal + 12];
    ASSERT_TRUE(n.a == r.m && n.b == r.n && n.m == r.a && n.n == r.b) << normal;
    const double expected = 100 * std::fabs(r.r - n.r) / ((std::fabs(r.r) + std::fabs(n.r)) / 2);
    EXPECT_NEAR(n.reciprocal_error_pct, expected, 1e-9 * expected) << normal;
    EXPECT_NEAR(r.reciprocal_error_pct, expected, 1e-9 * expected) << normal;
  }
}

// A rule on M computes M whatever the export asks; the export carries it only when asked.
TEST(LineRecords, AnMRuleComputesMAndTheExportCarriesItOnlyWhenAsked) {
  TempDir dir;
  SynthOptions polarised = Spread();
  polarised.chargeability_mv_v = 20, polarised.period_count = 2;
  WriteSyntheticSurvey(dir.File("p.qmr"), polarised);
  LineProject project;
  project.surveys.push_back({"p.qmr", 0, StampOf(dir.File("p.qmr"))});
  project.rules.m_range_mv_v = std::pair{1000.0, 1001.0};
  const std::string path = dir.File("line.vln");
  const LineData line = EvaluateLine(path, project);
  EXPECT_EQ(Evaluate(line.records, project.rules, {}).counts.by_cause[size_t(ExclusionCause::Chargeability)], 12);
  project.rules.m_range_mv_v = std::pair{-1000.0, 1000.0};
  auto header = [&](bool ip) {
    ExportLine(path, project, line, ExportFormat::Csv, ip);
    std::ifstream in(dir.File("line.csv"));
    std::string first;
    std::getline(in, first);
    return first;
  };
  EXPECT_EQ(header(false).find(",M"), std::string::npos);
  EXPECT_NE(header(true).find(",M,Merr"), std::string::npos);

  // M comes from the project's gates, or from an export's own, which the M rule then
  // judges, and the export says so.
  project.processing.gates = "20:40,40:80";
  const LineData own = EvaluateLine(path, project);
  ASSERT_TRUE(own.chargeability_span);
  EXPECT_EQ(GateText(*own.chargeability_span), "20-80");
  EXPECT_TRUE(ExportLine(path, project, own, ExportFormat::Csv).notes.empty());
  const LineData given = EvaluateLine(path, project, {.ip = true, .gates = "100:200,200:400"});
  ASSERT_TRUE(given.chargeability_span);
  EXPECT_EQ(GateText(*given.chargeability_span), "100-400");
  EXPECT_EQ(
      ExportLine(path, project, given, ExportFormat::Csv, true).notes,
      std::vector<std::string>{dir.File("line.csv") +
                               ": the M rule judged with the gates 100:200,200:400, not the project's 20:40,40:80"});
}

// On a line's pseudosection a record stands at the mean x of the electrodes it places:
// a pole-dipole record of the remote B at the mean of A, M and N.
TEST(LineSection, ARecordStandsAtTheMeanOfItsPlacedElectrodes) {
  LineData line;
  line.electrodes = {{0, 0, 0}, {5, 4, 3}, {10, 8, 6}};
  LineRecord record;
  record.ref = {0, 1}, record.a = 0.0, record.m = 5.0, record.n = 10.0;
  line.records = {record};
  line.rows = {SurveyRow{}};
  const LineSection section = LineSectionOf(line, {ExclusionCause::ByHand});
  ASSERT_EQ(section.points.size(), 1u);
  EXPECT_NEAR(section.points[0].x, 4, 1e-12) << "horizontal x on the ground";
  EXPECT_EQ(section.points[0].left_out, "by hand");
}

TEST(Topography, TapeMeasuredPositionsWalkTheSlope) {
  // A 3-4-5 slope from (10, 100) to (50, 130), 50 m walked, then flat ground to (70, 130).
  Topography tape{{{10, 100}, {50, 130}, {70, 130}}, true};
  const std::vector<GroundPoint> placed = PlaceOnGround(tape, {10, 20, 35, 60, 75, 80});
  const std::vector<GroundPoint> expected{{10, 100}, {18, 106}, {30, 115}, {50, 130}, {65, 130}, {70, 130}};
  ASSERT_EQ(placed.size(), expected.size());
  for (size_t i = 0; i < placed.size(); ++i) {
    EXPECT_NEAR(placed[i].x, expected[i].x, 1e-9) << i;
    EXPECT_NEAR(placed[i].z, expected[i].z, 1e-9) << i;
  }
  // Walked, the ground ends at 80 m; measured flat, it would reach 70 m only.
  EXPECT_THROW(PlaceOnGround(tape, {80.01}), std::invalid_argument);
  tape.tape = false;
  try {
    PlaceOnGround(tape, {10, 75});
    FAIL() << "a topography that stops short was taken";
  } catch (const std::invalid_argument& error) {
    EXPECT_STREQ(error.what(), "the topography does not reach the electrode at 75 m (it covers 10 to 70 m)");
  }
  EXPECT_NEAR(PlaceOnGround(tape, {30})[0].z, 115, 1e-12) << "plain: interpolated in x";
}

// What a parse of `text` says: its error, or "no error".
template <class Parse>
std::string ErrorOf(Parse parse, const std::string& text) {
  try {
    parse(text);
  } catch (const LineFileError& error) {
    return error.what();
  }
  return "no error";
}

// As a spreadsheet saves it: a byte order mark, column titles, semicolons or tabs with
// decimal commas, CRLF; a line refused is quoted.
TEST(Topography, SpreadsheetFilesAreReadAndARefusedLineIsQuoted) {
  const std::vector<TopographyPoint> expected{{0, 100.5}, {10, 101.25}, {20.5, 99}};
  std::vector<std::string> notes;
  EXPECT_EQ(ParseTopography("\xEF\xBB\xBFx (m);z (m)\r\n0;100,5\r\n10;101,25\r\n20,5;99\r\n", "T.csv", &notes),
            expected);
  EXPECT_EQ(notes, std::vector<std::string>{"T.csv:1: 'x (m);z (m)' taken for column titles"});
  notes.clear();
  EXPECT_EQ(ParseTopography("0\t100,5\n10\t101,25\n20,5\t99\n", "T.txt", &notes), expected);
  EXPECT_EQ(ParseTopography("0 100,5\n10, 101.25\n20.5,99\n", "T.txt", &notes), expected);
  EXPECT_TRUE(notes.empty());

  auto error_of = [](const std::string& text) {
    return ErrorOf([](const std::string& t) { ParseTopography(t, "TOPO.txt"); }, text);
  };
  EXPECT_EQ(error_of("0 1\n\n5 2 3\n"), "TOPO.txt:3: '5 2 3': one x and one z expected");
  EXPECT_EQ(error_of("0 1\n5\tx\r\n"), "TOPO.txt:2: '5\tx': two numbers expected");
  EXPECT_EQ(error_of("x z\n0 1\ndepth z\n"), "TOPO.txt:3: 'depth z': two numbers expected")
      << "titles only above the first point";
  EXPECT_EQ(error_of("-20,99,5\n0,100\n200,101\n"), "TOPO.txt:1: '-20,99,5': one x and one z expected")
      << "a first point written wrong is no title";
  EXPECT_EQ(error_of("0 1\r\n5 2\r\n5 3\r\n"),
            "TOPO.txt:3: '5 3': x 5 does not pass the x before it (5): the points must go along the line");
  EXPECT_EQ(error_of("# only\n7 1\n"), "TOPO.txt: a topography needs at least two points");
}

TEST(Exclusion, EachRuleLeavesOutItsRecordsAndNoOthers) {
  LineRecord kept;
  kept.a = 0, kept.b = 5, kept.m = 10, kept.n = 15;
  kept.k = -94, kept.r = 1, kept.rhoa = 94, kept.stacking_error_pct = 2, kept.reciprocal_error_pct = NaN;
  kept.chargeability_mv_v = NaN;
  ExclusionRules rules;
  rules.max_error_pct = 2, rules.max_reciprocal_pct = 5, rules.negative_rhoa = true, rules.max_abs_k = 94;
  rules.m_range_mv_v = std::pair{0.0, 50.0};
  rules.electrodes = {20};

  std::vector<LineRecord> rows;
  auto row = [&](auto change) {
    LineRecord record = kept;
    record.ref = {1, static_cast<int32_t>(rows.size() + 1)};
    change(record);
    rows.push_back(record);
  };
  row([](LineRecord&) {});  // every value at its limit, no reciprocal, no M
  row([](LineRecord& r) { r.stacking_error_pct = 2.01; });
  row([](LineRecord& r) { r.reciprocal_error_pct = 5.5; });
  row([](LineRecord& r) { r.rhoa = -1; });
  row([](LineRecord& r) { r.k = 95; });
  row([](LineRecord& r) { r.k = -95; });
  row([](LineRecord& r) { r.chargeability_mv_v = -0.5; });
  row([](LineRecord& r) { r.chargeability_mv_v = 50; });
  row([](LineRecord& r) { r.n = 20.0009; });                 // within a millimetre of 20 m
  row([](LineRecord& r) { r.b = std::nullopt, r.n = 25; });  // a remote B is at no position
  row([](LineRecord& r) { r.stacking_error_pct = 99; });     // also by hand: that cause shown

  const Exclusions result = Evaluate(rows, rules, {{1, 11}, {0, 2}});
  using C = ExclusionCause;
  EXPECT_EQ(result.causes,
            (std::vector<C>{C::None, C::StackingError, C::ReciprocalError, C::NegativeRhoa, C::GeometricFactor,
                            C::GeometricFactor, C::Chargeability, C::None, C::Electrode, C::None, C::ByHand}));
  EXPECT_EQ(result.counts.by_cause[static_cast<size_t>(C::GeometricFactor)], 2);
  EXPECT_EQ(result.counts.by_cause[static_cast<size_t>(C::None)], 3);
  EXPECT_EQ(result.counts.Excluded(), 8);
  EXPECT_EQ(Evaluate(rows, {}, {}).counts.Excluded(), 0) << "no rule leaves nothing out";
}

// A survey taken out of a line takes its hand exclusions along; the later surveys' keep
// their records under their new places. Every edit is a step undone in turn, back to the
// project as opened, and redone: the removal, an offset, the rules, a hand exclusion.
TEST(LineSession, EveryEditIsUndoneAndRedoneInTurn) {
  LineProject project;
  for (const char* file : {"a.qmr", "b.qmr", "c.qmr"}) project.surveys.push_back({file, 0, {}});
  project.excluded_by_hand = {{0, 1}, {1, 2}, {2, 3}};
  project.rules.negative_rhoa = true;
  LineSession session("line.vln", project);
  session.SetData(std::make_shared<const LineData>(), session.Project(), false);
  session.History().Toggle({{2, 4}});
  session.SetOffset(2, 95);
  ExclusionRules rules;
  rules.max_error_pct = 5;
  session.SetRules(rules);
  session.RemoveSurvey(1);
  std::vector<LineProject> states{session.Project()};
  const LineProject& now = states.back();
  ASSERT_EQ(now.surveys.size(), 2u);
  EXPECT_EQ(now.surveys[1].file, "c.qmr");
  EXPECT_EQ(now.surveys[1].offset_m, 95);
  EXPECT_EQ(now.excluded_by_hand, (std::set<RecordRef>{{0, 1}, {1, 3}, {1, 4}}));
  EXPECT_TRUE(session.Modified());

  EXPECT_TRUE(session.History().UndoChangesSetup());
  for (int step = 0; step < 4; ++step) {
    session.History().Undo();
    states.push_back(session.Project());
  }
  EXPECT_EQ(states[1].surveys.size(), 3u) << "the survey back, with its exclusion";
  EXPECT_EQ(states[1].excluded_by_hand, (std::set<RecordRef>{{0, 1}, {1, 2}, {2, 3}, {2, 4}}));
  EXPECT_EQ(states[2].rules, project.rules);
  EXPECT_EQ(states[3].surveys[2].offset_m, 0);
  EXPECT_FALSE(session.NeedsEvaluation()) << "back as it was evaluated";
  EXPECT_EQ(states[4], project);
  EXPECT_FALSE(session.Modified());
  EXPECT_FALSE(session.History().CanUndo());
  for (int step = 3; step >= 0; --step) {
    session.History().Redo();
    EXPECT_EQ(session.Project(), states[static_cast<size_t>(step)]) << step;
  }
  EXPECT_TRUE(session.NeedsEvaluation());
}

// Saved, a line is unchanged; saved under another name in another folder, its surveys
// are named from there and the next save goes there; a rule on M asks for M once.
TEST(LineSession, SavesWhereItWasLastSavedAndWantsMForAnMRule) {
  TempDir dir;
  LineProject project;
  project.surveys.push_back({"s1.qmr", 0, {}});
  LineSession session(dir.File("line.vln"), project);
  session.History().Toggle({{0, 2}});
  session.Save();
  EXPECT_FALSE(session.Modified());
  std::filesystem::create_directory(dir.File("copy"));
  session.SaveAs(dir.File("copy/line2.vln"));
  session.History().Toggle({{0, 3}});
  session.Save();
  const LineProject moved = ReadLineProject(dir.File("copy/line2.vln"));
  EXPECT_EQ(moved.surveys.at(0).file, "../s1.qmr");
  EXPECT_EQ(moved.excluded_by_hand, (std::set<RecordRef>{{0, 2}, {0, 3}}));
  EXPECT_EQ(ReadLineProject(dir.File("line.vln")).excluded_by_hand, (std::set<RecordRef>{{0, 2}}));
  session.SetOffset(0, 12);
  session.History().Undo();
  EXPECT_EQ(session.Project().surveys.at(0).file, "../s1.qmr") << "an edit undone names the survey from there too";

  session.SetData(std::make_shared<const LineData>(), session.Project(), false);
  EXPECT_FALSE(session.NeedsEvaluation());
  ExclusionRules rules;
  rules.m_range_mv_v = std::pair{-5.0, 50.0};
  session.SetRules(rules);
  EXPECT_TRUE(session.NeedsEvaluation()) << "M was not computed";
  session.SetData(session.Data(), session.Project(), true);
  EXPECT_FALSE(session.NeedsEvaluation());
}

TEST(LineHistory, UndoAndRedoGoBackToTheOpeningAndNoFurther) {
  const RecordRef r1{0, 1}, r2{0, 2}, r3{1, 1};
  LineHistory history({}, {r1});
  history.Toggle({r1, r2});
  EXPECT_EQ(history.ExcludedByHand(), (std::set<RecordRef>{r2}));
  history.Exclude({r2, r3});
  EXPECT_EQ(history.ExcludedByHand(), (std::set<RecordRef>{r2, r3}));
  history.Exclude({r3});  // nothing changes: no step to undo
  history.Undo();
  EXPECT_EQ(history.ExcludedByHand(), (std::set<RecordRef>{r2})) << "Exclude undone: r2 stays out, as before it";
  history.Undo();
  EXPECT_EQ(history.ExcludedByHand(), (std::set<RecordRef>{r1}));
  EXPECT_FALSE(history.CanUndo());
  history.Undo();
  EXPECT_EQ(history.ExcludedByHand(), (std::set<RecordRef>{r1}));
  history.Redo();
  history.Redo();
  EXPECT_EQ(history.ExcludedByHand(), (std::set<RecordRef>{r2, r3}));
  EXPECT_FALSE(history.CanRedo());
  history.Undo();
  history.Toggle({r1, r1});  // one gesture over one record twice: one change
  EXPECT_EQ(history.ExcludedByHand(), (std::set<RecordRef>{r1, r2}));
  EXPECT_FALSE(history.CanRedo()) << "a new step drops what was undone";
  history.Undo();
  EXPECT_EQ(history.ExcludedByHand(), (std::set<RecordRef>{r2}));
  history.Undo();
  EXPECT_EQ(history.ExcludedByHand(), (std::set<RecordRef>{r1})) << "the opening, past no dropped step";
}

TEST(LineProject, RoundTripsEveryFieldExactly) {
  TempDir dir;
  LineProject project = TwoSpreads(dir, 47.5);
  project.surveys[0].file = "spreads/first spread.qmr";
  project.surveys[1].offset_m = 0.1 + 0.2;
  project.topography = {{{-1.0 / 3, 101.25}, {1e-7, 1e17}, {95.5, -3}}, true};
  project.rules = {2.5, 10, true, 5000, std::pair{-5.0, 1.0 / 7}, {95, 0.1}};
  project.excluded_by_hand = {{1, 3}, {0, 17}, {1, 1}};
  project.processing = {true, false, "20:40,40:80", "50"};
  const std::string path = dir.File("line.vln");
  WriteLineProject(path, project);
  const LineProject read = ReadLineProject(path);
  EXPECT_EQ(read, project);
  EXPECT_EQ(FormatLineProject(read), FormatLineProject(project));
  std::string edited;  // as an editor that writes bare line feeds leaves it
  for (const std::string& line : FormatLineProject(project)) edited += line + "\n";
  EXPECT_EQ(ParseLineProject(edited, "line.vln"), project);

  auto error_of = [](const std::string& text) {
    return ErrorOf([](const std::string& t) { ParseLineProject(t, "L.vln"); }, text);
  };
  const std::string survey = "format = 2\n[survey]\nfile = a.qmr\nsize = 10\nhash = 00000000000000ff\n";
  EXPECT_EQ(error_of(survey), "no error");
  EXPECT_EQ(error_of(survey + "[exclusion]\nmax-eror = 5\n"), "L.vln:7: unknown key 'max-eror'");
  EXPECT_EQ(error_of(survey + "[exclusion]\nrecord = b.qmr:3\n"), "L.vln:7: b.qmr is not a survey of the line");
  EXPECT_EQ(error_of(survey + "offset = 4,5\n"), "L.vln:6: offset takes a number, not '4,5'");
  EXPECT_EQ(error_of(survey + "[exclusion]\nmax-error = -5\n"),
            "L.vln:7: max-error takes a limit of 0 or more, or off, not '-5'");
  EXPECT_EQ(error_of("format = 1\n[survey]\nfile = C:/data/a.qmr\nsize = 10\nheader = 00000000000000ff\n"
                     "[exclusion]\nrecord = C:/data/a.qmr:3\n"),
            "no error")
      << "a survey named with its drive";
  EXPECT_EQ(error_of("format = 1\n[survey]\nfile = a.qmr\n[topography]\n"), "L.vln:2: the survey has no size");
  EXPECT_EQ(error_of("format = 3\n"), "L.vln:1: format 3 is newer than this program reads (2)");
}

// A project edited by hand: as Notepad saves it (a byte order mark, CRLF), and every
// fault its text shows found when it is read, named by its line.
TEST(LineProject, AHandEditedProjectIsReadAndEachFaultOfItsTextNamesItsLine) {
  const std::string survey = "format = 2\n[survey]\nfile = a.qmr\nsize = 10\nhash = 00000000000000ff\n";
  std::string notepad = "\xEF\xBB\xBF";
  for (char c : survey + "[exclusion]\nmax-error = 0\nmax-k = off\nrecord = ./a.qmr:2\n")
    notepad += c == '\n' ? std::string("\r\n") : std::string(1, c);
  const LineProject read = ParseLineProject(notepad, "L.vln");
  EXPECT_EQ(read.rules.max_error_pct, 0.0) << "a limit of 0, as `exclude --max-error 0` writes it";
  EXPECT_FALSE(read.rules.max_abs_k);
  EXPECT_EQ(read.excluded_by_hand, (std::set<RecordRef>{{0, 2}}));

  auto error_of = [](const std::string& text) {
    return ErrorOf([](const std::string& t) { ParseLineProject(t, "L.vln"); }, text);
  };
  EXPECT_EQ(error_of(survey + "[processing]\ngates = 30:10\n"),
            "L.vln:7: gates: gate 30:10 ms is reversed: it ends before it starts");
  EXPECT_EQ(error_of(survey + "[processing]\ngates = 10:inf\n"),
            "L.vln:7: gates: gates are written T1:T2,T2:T3 in ms, not '10:inf'");
  EXPECT_EQ(error_of(survey + "[processing]\nmains = abc\n"),
            "L.vln:7: mains: frequencies in Hz above 0 up to 1000 expected, or 0 for none, not 'abc'");
  EXPECT_EQ(error_of(survey + "offset = 1\noffset = 2\n"),
            "L.vln:7: offset is given twice in [survey] (first on line 6)");
  EXPECT_EQ(error_of(survey + "[exclusion]\nmax-error = 5\n[exclusion]\nmax-error = 6\n"),
            "L.vln:9: max-error is given twice in [exclusion] (first on line 7)");
  EXPECT_EQ(error_of(survey + "[survey]\nfile = ./a.qmr\n"), "L.vln:7: ./a.qmr is in the line twice");
  EXPECT_EQ(error_of(survey + "[exclusion]\nrecord = a.qmr:0\n"),
            "L.vln:7: record takes FILE:K with K from 1, not 'a.qmr:0'");
  EXPECT_EQ(error_of("format = 2\n[survey]\nfile = a.qmr\nsize = 10\n[exclusion]\n"),
            "L.vln:2: the survey has no hash");
  EXPECT_EQ(error_of(survey + "offset = inf\n"), "L.vln:6: offset takes a number, not 'inf'");
  EXPECT_EQ(error_of(survey + "[topography]\npoint = 0 nan\n"), "L.vln:7: point takes two numbers, not '0 nan'");
  EXPECT_EQ(error_of(survey + "[exclusion]\nelectrode = -inf\n"), "L.vln:7: electrode takes a number, not '-inf'");
  EXPECT_EQ(error_of(std::string("\x10\0\0\0", 4)), "L.vln: not a line project: it holds binary bytes");
}

// What only the surveys show of a project, a record beyond its survey's last or gates
// beyond its pause, is found as soon as they are read, and named by the project's line.
TEST(LineProject, WhatOnlyItsSurveysShowNamesTheProjectsLine) {
  TempDir dir;
  const std::string path = dir.File("line.vln");
  LineProject project = TwoSpreads(dir, 47.5);
  auto line_of = [&](const std::string& text) {
    const std::vector<std::string> lines = FormatLineProject(project);
    return std::to_string(std::find(lines.begin(), lines.end(), text) - lines.begin() + 1);
  };
  auto error_of = [&](auto use) { return ErrorOf([&](const std::string&) { use(); }, ""); };
  project.excluded_by_hand = {{1, 999}};
  WriteLineProject(path, project);
  const std::string beyond = path + ":" + line_of("record = s2.qmr:999") + ": record 999 of s2.qmr is not in 1..12";
  project = ReadLineProject(path);
  EXPECT_EQ(error_of([&] { IndexLineSurveys(path, project); }), beyond);
  EXPECT_EQ(error_of([&] { EvaluateLine(path, project); }), beyond);

  project.excluded_by_hand.clear();
  project.processing.gates = "10:300,300:3000";
  WriteLineProject(path, project);
  project = ReadLineProject(path);
  EXPECT_EQ(error_of([&] { EvaluateLine(path, project); }),
            path + ":" + line_of("gates = 10:300,300:3000") +
                ": gates 10:300,300:3000 do not fit s1.qmr: gate 300:3000 ms lies outside the pause of 1000 ms");

  EXPECT_EQ(error_of([&] { ReadLineProject(dir.File("s1.qmr")); }),
            dir.File("s1.qmr") + ": a survey, not a line project: the line commands take its LINE.vln");
}

// A survey replaced by another of the same size and geometry is refused by name; a
// project stamped by an older version (the header bytes only) is read, and stamped anew
// with the hash of the whole file when it is next written.
TEST(SurveyStamp, AnyChangeIsRefusedAndAnOlderProjectIsStampedAnewWhenSaved) {
  TempDir dir;
  SynthOptions first = Spread();
  first.physical = true, first.rho_ohm_m = 100;
  SynthOptions other = first;
  other.rho_ohm_m = 300;
  const std::string survey = dir.File("s1.qmr"), path = dir.File("line.vln");
  WriteSyntheticSurvey(survey, first);
  const SurveyStamp stamp = StampOf(survey), older = HeaderStampOf(survey);
  std::ofstream(path, std::ios::binary) << "format = 1\n[survey]\nfile = s1.qmr\noffset = 0\nsize = " << older.size
                                        << "\nheader = " << HashText(*older.header_hash) << "\n";
  LineProject project = ReadLineProject(path);
  EXPECT_EQ(project.surveys[0].stamp, older);
  EXPECT_EQ(EvaluateLine(path, project).records.size(), 12u);

  EXPECT_EQ(WriteLineProject(path, project),
            std::vector<std::string>{path + ": written by an older version; 1 survey stamped anew with a hash of the "
                                            "whole file"});
  EXPECT_EQ(ReadLineProject(path).surveys[0].stamp, stamp);
  EXPECT_EQ(project.surveys[0].stamp, stamp);
  EXPECT_TRUE(WriteLineProject(path, project).empty());

  // A byte of the prefix, which no pass reads, and the last sample of the last record.
  const std::string changed = survey + ": the survey changed since it was added to the line (its contents differ)";
  const std::vector<unsigned char> bytes = ReadWholeFile(survey);
  auto write = [&](const std::string& tail) {
    std::ofstream(survey, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()))
        << tail;
  };
  for (int64_t at : {int64_t{100}, stamp.size - 4}) {
    WriteSurveyFloat(survey, at, 0.5f);
    EXPECT_EQ(ErrorOf([&](const std::string&) { EvaluateLine(path, project); }, ""), changed) << at;
    write("");
  }
  EXPECT_EQ(EvaluateLine(path, project).records.size(), 12u);
  // Bytes after the last block, a block cut short: no pass reads them either.
  write("abc");
  project.surveys[0].stamp = StampOf(survey);
  EXPECT_EQ(EvaluateLine(path, project).records.size(), 12u);
  write("abd");
  EXPECT_EQ(ErrorOf([&](const std::string&) { EvaluateLine(path, project); }, ""), changed);
  write("");
  project.surveys[0].stamp = stamp;

  // Another resistivity: the same size, electrodes and header, other samples.
  WriteSyntheticSurvey(survey, other);
  EXPECT_EQ(HeaderStampOf(survey), older) << "what an older stamp could not tell";
  EXPECT_EQ(ErrorOf([&](const std::string&) { EvaluateLine(path, project); }, ""), changed);
  EXPECT_EQ(ErrorOf([&](const std::string&) { IndexLineSurveys(path, project); }, ""), changed);
  // An older project's survey is checked before it is stamped anew: never a changed one.
  project.surveys[0].stamp = {stamp.size, std::nullopt, 0x1234};
  EXPECT_EQ(ErrorOf([&](const std::string&) { WriteLineProject(path, project); }, ""),
            survey + ": the survey changed since it was added to the line (its header differs)");
  EXPECT_EQ(ReadLineProject(path).surveys[0].stamp, stamp) << "the project as it was";
}

// A line's surveys are added, moved and taken out with its topography, rules and hand
// exclusions kept; a change the topography does not reach leaves the project as it was.
TEST(LineSurveys, AddingMovingAndRemovingKeepTheRestOfTheProject) {
  TempDir dir;
  const std::string path = dir.File("line.vln");
  LineProject project = TwoSpreads(dir, 20);  // electrodes at 0 to 65 m
  project.topography = {{{0, 100}, {80, 108}}, false};
  project.rules.max_error_pct = 5;
  project.rules.electrodes = {30};
  project.excluded_by_hand = {{0, 3}, {1, 4}};
  const LineProject two = project;
  WriteSyntheticSurvey(dir.File("s3.qmr"), Spread());
  AddLineSurvey(path, project, dir.File("s3.qmr"), 35);  // 35 to 80 m
  ASSERT_EQ(project.surveys.size(), 3u);
  EXPECT_EQ(project.surveys[2], (LineSurvey{"s3.qmr", 35, StampOf(dir.File("s3.qmr"))}));
  project.surveys.pop_back();
  EXPECT_EQ(project, two);
  AddLineSurvey(path, project, dir.File("s3.qmr"), 35);

  const LineProject three = project;
  const std::string beyond = "the topography does not reach the electrode at 85 m (it covers 0 to 80 m)";
  EXPECT_EQ(ErrorOf([&](const std::string&) { AddLineSurvey(path, project, dir.File("s1.qmr"), 40); }, ""),
            dir.File("s1.qmr") + ": " + beyond);
  EXPECT_EQ(ErrorOf([&](const std::string&) { SetLineOffset(path, project, 2, 40); }, ""), path + ": " + beyond);
  EXPECT_EQ(project, three);
  SetLineOffset(path, project, 2, 30);
  EXPECT_EQ(project.surveys[2].offset_m, 30);
  project.surveys[2].offset_m = 35;
  EXPECT_EQ(project, three);

  // The first out: its exclusion goes with it, the second's follows its new place.
  RemoveLineSurvey(project, 0);
  EXPECT_EQ(project.surveys[0].file, "s2.qmr");
  EXPECT_EQ(project.excluded_by_hand, (std::set<RecordRef>{{0, 4}}));
  EXPECT_EQ(project.topography, three.topography);
  EXPECT_EQ(project.rules, three.rules);
  RemoveLineSurvey(project, 0);
  EXPECT_TRUE(project.excluded_by_hand.empty());
  EXPECT_THROW(RemoveLineSurvey(project, 0), std::invalid_argument) << "a line keeps one survey";
  EXPECT_EQ(project.surveys.size(), 1u);
}

// Every rule switches off; an electrode given twice is one rule; a record taken back
// that was never excluded by hand is told.
TEST(LineRules, EveryRuleSwitchesOffAndNothingIsTakenTwice) {
  ExclusionRules rules{2.5, 10, true, 5000, std::pair{-5.0, 50.0}, {95}};
  for (const char* name : {"max-error", "max-reciprocal", "negative-rhoa", "max-k", "m-range"})
    SetRule(rules, name, "off");
  ExclusionRules none;
  none.electrodes = {95};
  EXPECT_EQ(rules, none);
  SetRule(rules, "m-range", "-5:50");
  SetRule(rules, "negative-rhoa", "yes");
  EXPECT_EQ(rules.m_range_mv_v, (std::pair{-5.0, 50.0}));
  EXPECT_TRUE(rules.negative_rhoa);
  for (const char* limit : {"-0.5", "nan", "5%"}) {
    try {
      SetRule(rules, "max-reciprocal", limit);
      ADD_FAILURE() << limit;
    } catch (const std::invalid_argument& error) {
      EXPECT_EQ(error.what(), "max-reciprocal takes a limit of 0 or more, or off, not '" + std::string(limit) + "'");
    }
  }

  TempDir dir;
  const std::string path = dir.File("line.vln");
  LineProject project = TwoSpreads(dir, 20.0004);
  const std::vector<IndexedSurvey> surveys = IndexLineSurveys(path, project);
  ExcludeElectrode(path, project, surveys, 30);
  ExcludeElectrode(path, project, surveys, 30.0004);  // the same electrode of the line
  EXPECT_EQ(project.rules.electrodes, std::vector<double>{30});
  EXPECT_EQ(FormatLineProject(project).size(), FormatLineProject(TwoSpreads(dir, 20.0004)).size() + 1);
  EXPECT_EQ(ErrorOf([&](const std::string&) { ExcludeElectrode(path, project, surveys, 31); }, ""),
            path + ": no electrode of the line stands at 31 m");

  project.excluded_by_hand = {{0, 2}};
  EXPECT_EQ(IncludeByHand(project, {{0, 2}, {1, 5}}), std::vector<std::string>{"s2.qmr:5 was not excluded by hand"});
  EXPECT_TRUE(project.excluded_by_hand.empty());
}

// A survey whose electrode table holds an infinite coordinate for electrode 3: its
// records on it have no place and no K. They reach no section, the records after them
// keep their own causes, and the export counts them as left out.
TEST(LineSection, RecordsWithoutAPlaceStayOffTheSectionAndAreCounted) {
  TempDir dir;
  const std::string survey = dir.File("s1.qmr"), path = dir.File("line.vln");
  WriteSyntheticSurvey(survey, Spread());
  WriteSurveyFloat(survey, file_format::ElectrodeTableOffset + 2 * file_format::ElectrodeRecordSize + 4, INFINITY);
  const std::set<int> on_it{1, 3, 4, 5, 6};  // the records on electrode 3
  auto v = FreshVari(survey);
  OpenSurvey(*v);
  const std::vector<PseudosectionPoint> places = PlacesOf(*v->survey);
  EXPECT_EQ(places.size(), 7u);
  for (const PseudosectionPoint& place : places) EXPECT_TRUE(std::isfinite(place.x)) << place.record;

  LineProject project;
  project.surveys.push_back({"s1.qmr", 0, StampOf(survey)});
  project.excluded_by_hand = {{0, 2}, {0, 8}};
  const LineData line = EvaluateLine(path, project);
  const Exclusions exclusions = Evaluate(line.records, project.rules, project.excluded_by_hand);
  const LineSection section = LineSectionOf(line, exclusions.causes);
  ASSERT_EQ(section.points.size(), 7u);
  for (const PseudosectionPoint& point : section.points) {
    EXPECT_FALSE(on_it.contains(point.record));
    EXPECT_TRUE(std::isfinite(point.x));
    EXPECT_EQ(point.left_out, point.record == 2 || point.record == 8 ? "by hand" : "") << point.record;
  }
  const LineExportReport report = ExportLine(path, project, line, ExportFormat::Csv);
  EXPECT_EQ(report.written, 5);
  EXPECT_EQ(report.excluded, 2);
  EXPECT_EQ(report.left_out, 5);
  EXPECT_EQ(LineInfoLines("line.vln", project, line).at(0),
            "line.vln: 1 files, 12 records, 7 electrodes, 2 excluded, 5 without K or R");
}

}  // namespace

// The survey view's fixed colour scales are kept with the line, checked as they are read.
TEST(LineProject, KeepsTheViewsFixedColourScales) {
  TempDir dir;
  LineProject project = TwoSpreads(dir, 10);
  project.colour_scales = {{"rhoa", {10, 1000, true}}, {"m", {-5, 1.0 / 3, false}}};
  const std::string path = dir.File("line.vln");
  WriteLineProject(path, project);
  EXPECT_EQ(ReadLineProject(path), project);
  project.colour_scales.clear();
  const std::vector<std::string> lines = FormatLineProject(project);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "[view]"), 0) << "a project without one is written as before";

  auto error_of = [](const std::string& text) {
    return ErrorOf([](const std::string& t) { ParseLineProject(t, "L.vln"); }, "format = 1\n[view]\n" + text);
  };
  EXPECT_EQ(error_of("error-scale = 0.1 20 log\n"), "no error");
  EXPECT_EQ(error_of("rhoa-scale = 100 10 log\n"), "L.vln:3: rhoa-scale takes the low limit first");
  EXPECT_EQ(error_of("m-scale = -1 5 log\n"), "L.vln:3: m-scale on a log scale takes limits above 0");
  EXPECT_EQ(error_of("m-scale = -1 5 linear\n"), "no error");
  EXPECT_EQ(error_of("rhoa-scale = 1 2\n"),
            "L.vln:3: rhoa-scale takes the low and high limits and log or linear, not '1 2'");
  EXPECT_EQ(error_of("depth-scale = 1 2 log\n"), "L.vln:3: unknown key 'depth-scale'");
}
