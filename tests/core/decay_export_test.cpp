// Every gate of every record in the files: as pyGIMLi's TDIP import reads the unified
// format and the Res2DInv file, and the long comma table.

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

#include "ip/decay_fit.h"
#include "measurement/in_out_error.h"
#include "output/table_export.h"
#include "peer_readers.h"
#include "processing/record_pass.h"
#include "synthetic/synthetic_survey.h"
#include "test_support.h"

namespace {

SynthOptions Polarised(int32_t half_period) {
  SynthOptions o;
  o.physical = true;
  o.rho_ohm_m = 100;
  o.electrodes = 12;
  o.blocks = 3;
  o.channels = 4;
  o.half_period = o.second_length = half_period;
  o.noise_mv = 0.3;
  o.chargeability_mv_v = 27.3;
  o.tau_ms = half_period / 9.0;
  o.cole_c = 0.57;
  return o;
}

// Every record's chargeability with its fit, as the export's pass gives it.
std::vector<Chargeability> PassDecays(const Survey& survey, const IpSettings& settings = {}) {
  PassOptions pass;
  pass.ip = settings;
  pass.ip->decay_fit = true;
  std::vector<Chargeability> decays;
  RecordPass(survey, pass, [&](const RecordRow& row) { decays.push_back(*row.evaluation.ip); });
  return decays;
}

std::vector<std::string> Lines(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line.substr(0, line.find('\r')));
  return lines;
}

// pyGIMLi's TDIP import finds every gate of the unified format and of the general array:
// the chargeability matrix gates x records with our values, and the gates' true times,
// in seconds whichever unit the file had to take for them (a pause of 100 ms has a delay
// of 1 ms and widths adding up to 62 ms, which it would take for seconds).
TEST(DecayExport, EveryGateReachesPyGimlisTdipImport) {
  TempDir dir;
  for (int32_t half_period : {1000, 100}) {
    const std::string name = "tdip" + std::to_string(half_period);
    WriteSyntheticSurvey(dir.File(name + ".qmr"), Polarised(half_period));
    const SharedSurvey survey = OpenSurvey(dir.File(name + ".qmr")).survey;
    const std::vector<Chargeability> decays = PassDecays(*survey);
    const std::vector<GateChargeability>& gates = decays.front().gates;
    ASSERT_GE(gates.size(), 4u);
    for (ExportFormat format : {ExportFormat::Ohm, ExportFormat::Res2dinv}) {
      SCOPED_TRACE(ExportFormatName(format) + ", pause " + std::to_string(half_period) + " ms");
      const ExportReport report = ExportSurvey(*survey, {.format = format, .decay = true}, {});
      ASSERT_EQ(report.written, survey->RecordCount);
      const PeerTdip tdip = ReadLikeTdipImport(report.file);
      ASSERT_TRUE(tdip.problems.empty()) << tdip.problems.front();
      ASSERT_EQ(tdip.ma.size(), gates.size());
      ASSERT_EQ(tdip.gate_bounds.size(), gates.size() + 1);
      EXPECT_NEAR(tdip.gate_bounds.front(), gates.front().gate.t1_ms / 1000, 1e-9);
      for (size_t i = 0; i < gates.size(); ++i) {
        EXPECT_NEAR(tdip.t[i], (gates[i].gate.t1_ms + gates[i].gate.t2_ms) / 2000, 1e-9) << "gate " << i + 1;
        EXPECT_NEAR(tdip.gate_bounds[i + 1], gates[i].gate.t2_ms / 1000, 1e-9) << "gate " << i + 1;
        ASSERT_EQ(tdip.ma[i].size(), decays.size());
        for (size_t r = 0; r < decays.size(); ++r)
          EXPECT_NEAR(tdip.ma[i][r], decays[r].gates[i].m, 1e-6 * std::abs(decays[r].gates[i].m)) << r;
      }
    }
    // The unified format's other fields: each gate's ±, τ, c and the misfit.
    const PeerSurvey ohm = ReadLikeOhmLoaders(dir.File(name + ".ohm"));
    ASSERT_EQ(ohm.records.size(), decays.size());
    for (size_t r = 0; r < ohm.records.size(); ++r) {
      const std::map<std::string, double>& fields = ohm.records[r].fields;
      EXPECT_NEAR(fields.at("iperr3"), decays[r].gates[2].interval, 1e-6 * decays[r].gates[2].interval);
      EXPECT_NEAR(fields.at("tau"), decays[r].fit->tau_ms, 1e-6 * decays[r].fit->tau_ms);
      EXPECT_NEAR(fields.at("c"), decays[r].fit->c, 1e-6);
      EXPECT_NEAR(fields.at("misfit"), decays[r].fit->chi2, 1e-6 * decays[r].fit->chi2 + 1e-7);
    }
  }
}

// The long table holds a line per gate of every record with numbers, in order; a record
// with a sample that is no number in a pause has none and is counted. With the decay's
// data error, iperr and each gate's ± in every format are the misfit's.
TEST(DecayExport, LongTableAndTheDecaysDataError) {
  TempDir dir;
  const std::string path = dir.File("long.qmr");
  WriteSyntheticSurvey(path, Polarised(1000));
  SharedSurvey survey = OpenSurvey(path).survey;
  WriteSurveyFloat(path, survey->RecordIndex[5].VoltageOffset + 4 * 1050, std::nanf(""));
  survey = OpenSurvey(path).survey;
  const std::vector<Chargeability> decays = PassDecays(*survey);
  ASSERT_TRUE(std::isnan(decays[4].m));

  const ExportReport report = ExportSurvey(*survey, {.format = ExportFormat::Csv, .decay = true}, {});
  EXPECT_EQ(report.file, dir.File("long.decay.csv"));
  EXPECT_EQ(report.written, survey->RecordCount - 1);
  EXPECT_EQ(report.left_out, 1);
  const std::vector<std::string> lines = Lines(report.file);
  const size_t gates = decays.front().gates.size();
  ASSERT_EQ(lines.size(), 1 + gates * static_cast<size_t>(report.written));
  EXPECT_EQ(lines[0], "survey,record,A,B,M,N,gate,t1_ms,t2_ms,M_gate,M_gate_err,tau_ms,c,misfit,flags");
  // Record 7, gate 3: the sixth record written (record 5 is left out).
  const std::string& line = lines[1 + 5 * gates + 2];
  const Chargeability& ip = decays[6];
  const std::string place = "long.qmr,7,5.000,10.000,25.000,30.000,3,70.000,150.000,";
  EXPECT_EQ(line.substr(0, place.size()), place);
  char expected[256];
  std::snprintf(expected, sizeof expected, "%.3f,%.3f,%.3f,%.4f,%.3f,", ip.gates[2].m, ip.gates[2].interval,
                ip.fit->tau_ms, ip.fit->c, ip.fit->chi2);
  EXPECT_EQ(line.substr(place.size()), expected) << "a clean decay has no flag";

  // The comma table with the data error leaves out the record without a fit, as the others do.
  const ExportReport comma = ExportSurvey(*survey, {.format = ExportFormat::Csv, .ip_error = IpError::Decay}, {});
  EXPECT_EQ(comma.left_out, 1);
  EXPECT_EQ(Lines(comma.file).size(), static_cast<size_t>(survey->RecordCount)) << "the header and all but one";

  ExportSurvey(*survey, {.format = ExportFormat::Ohm, .decay = true, .ip_error = IpError::Decay}, {});
  const PeerSurvey ohm = ReadLikeOhmLoaders(dir.File("long.ohm"));
  ASSERT_EQ(ohm.records.size(), decays.size() - 1);
  for (size_t r = 0, d = 0; r < ohm.records.size(); ++r, ++d) {
    if (d == 4) ++d;
    EXPECT_NEAR(ohm.records[r].ip_error, decays[d].fit->data_error, 1e-6 * decays[d].fit->data_error);
    EXPECT_NEAR(ohm.records[r].fields.at("iperr2"), decays[d].fit->data_error, 1e-6 * decays[d].fit->data_error);
  }
}

// What a format cannot carry is refused before any file is written: a fit of three
// gates, and gates with a gap in the files that give them as a delay and widths.
TEST(DecayExport, RefusesGatesTheFitOrTheFormatCannotTake) {
  TempDir dir;
  const std::string path = dir.File("gates.qmr");
  WriteSyntheticSurvey(path, Polarised(1000));
  const SharedSurvey survey = OpenSurvey(path).survey;
  auto refusal = [&](ExportFormat format, const std::vector<Gate>& gates, bool decay = true) -> std::string {
    try {
      ExportSurvey(*survey,
                   {.format = format,
                    .ip = IpSettings{.gates = gates, .cleaning = {}},
                    .decay = decay,
                    .ip_error = decay ? IpError::Stack : IpError::Decay},
                   {});
    } catch (const InOutError& error) {
      return error.what();
    }
    return "";
  };
  EXPECT_NE(refusal(ExportFormat::Ohm, {{10, 30}, {30, 70}, {70, 150}}).find("four gates"), std::string::npos);
  // The fit's data error alone needs them too, where every error would be no number.
  EXPECT_NE(refusal(ExportFormat::Csv, {{10, 30}, {30, 70}}, false).find("four gates"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(dir.File("gates.csv")));
  const std::vector<Gate> gap{{10, 30}, {30, 70}, {80, 150}, {150, 310}};
  EXPECT_NE(refusal(ExportFormat::Ohm, gap).find("gaps"), std::string::npos);
  EXPECT_NE(refusal(ExportFormat::Res2dinv, gap).find("gaps"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(dir.File("gates.ohm")));
  // M alone: the general array gives its window as one delay and integration time.
  try {
    ExportSurvey(*survey, {.format = ExportFormat::Res2dinv, .ip = IpSettings{.gates = gap, .cleaning = {}}}, {});
    ADD_FAILURE() << "gates with a gap written as one window";
  } catch (const InOutError& error) {
    EXPECT_NE(std::string(error.what()).find("gaps"), std::string::npos) << error.what();
  }
  EXPECT_FALSE(std::filesystem::exists(dir.File("gates.dat")));
  EXPECT_EQ(refusal(ExportFormat::Csv, gap), "");
  EXPECT_EQ(Lines(dir.File("gates.decay.csv")).size(), 1 + 4 * static_cast<size_t>(survey->RecordCount));
}

}  // namespace
