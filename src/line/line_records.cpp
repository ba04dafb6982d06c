#include "line/line_records.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "analysis/reciprocal_pairs.h"
#include "geometry/quadrupole.h"
#include "line/line_error.h"
#include "line/line_survey.h"
#include "line/number_text.h"
#include "measurement/index_file.h"
#include "processing/record_chargeability.h"

namespace {

double Distance(const GroundPoint& p, const GroundPoint& q) { return std::hypot(p.x - q.x, p.z - q.z); }

// The reciprocal error of every record of one survey that has a reciprocal, in percent;
// NaN for the others.
std::vector<double> ReciprocalErrors(const std::vector<RecordRow>& rows) {
  std::vector<MeasuredRecord> measured;
  measured.reserve(rows.size());
  for (const RecordRow& row : rows)
    measured.push_back({row.k, row.entry.A, row.entry.B, row.entry.M, row.entry.N, row.evaluation.resistivity.r});
  std::vector<double> errors(rows.size() + 1, std::nan(""));
  for (const ReciprocalPair& pair : FindReciprocalPairs(measured)) {
    const double pct = 100 * std::fabs(pair.error);
    for (int k : {pair.normal, pair.reciprocal})
      if (k >= 1 && static_cast<size_t>(k) < errors.size()) errors[static_cast<size_t>(k)] = pct;
  }
  return errors;
}

}  // namespace

int LineElectrodeAt(const std::vector<LineElectrode>& electrodes, double position) {
  if (!std::isfinite(position)) return -1;
  auto after = std::upper_bound(electrodes.begin(), electrodes.end(), position,
                                [](double x, const LineElectrode& e) { return x < e.position; });
  if (after == electrodes.begin()) return -1;
  const int index = static_cast<int>(after - electrodes.begin()) - 1;
  return position - electrodes[static_cast<size_t>(index)].position <= SamePositionM ? index : -1;
}

double GroundGeometricFactor(const std::optional<GroundPoint>& a, const std::optional<GroundPoint>& b,
                             const std::optional<GroundPoint>& m, const std::optional<GroundPoint>& n) {
  double sum = 0;
  bool any = false;
  for (auto [current, sign_c] : {std::pair{&a, 1.0}, std::pair{&b, -1.0}})
    for (auto [potential, sign_p] : {std::pair{&m, 1.0}, std::pair{&n, -1.0}}) {
      if (!*current || !*potential) continue;
      const double r = Distance(**current, **potential);
      if (!(r > 0)) return std::nan("");
      sum += sign_c * sign_p / r;
      any = true;
    }
  if (!any || sum == 0) return std::nan("");
  return 2 * std::numbers::pi / sum;
}

LineData EvaluateLine(const std::string& project_path, const LineProject& project,
                      const LineEvaluationOptions& options) {
  // Every survey is opened before the first record is read, and a survey of another size
  // fails the command before any work. The hash of its bytes is taken from its pass,
  // which reads it anyway: nothing is written before every survey has passed.
  std::vector<SharedSurvey> surveys;
  std::vector<std::string> warnings;
  std::vector<double> used;
  for (const LineSurvey& survey : project.surveys) {
    const std::string path = SurveyPath(project_path, survey);
    if (survey.stamp.file_hash)
      CheckStampedSize(path, path, survey.stamp);
    else
      CheckStamp(path, path, survey.stamp);
    try {
      OpenedSurvey opened = OpenSurvey(path);
      for (const std::string& warning : opened.report.warnings)
        warnings.push_back(path + ": " + IndexWarningInEnglish(warning));
      surveys.push_back(std::move(opened.survey));
    } catch (const std::exception& error) {
      throw LineFileError(path, error.what());
    }
    const std::vector<double> positions = UsedPositions(*surveys.back(), survey.offset_m);
    used.insert(used.end(), positions.begin(), positions.end());
  }
  for (const RecordRef& ref : project.excluded_by_hand)
    if (ref.file < 0 || static_cast<size_t>(ref.file) >= surveys.size())
      throw LineFileError(project_path, "a record excluded by hand names no survey of the line");
  for (size_t file = 0; file < surveys.size(); ++file) {
    const Survey& v = *surveys[file];
    CheckProjectAgainst(project_path, project, file, v.RecordCount, v.HalfPeriod, v.SampleRate);
  }

  LineData line;
  line.files = static_cast<int>(surveys.size());
  line.warnings = std::move(warnings);
  try {
    line.electrodes = LineElectrodes(used, project.topography);
  } catch (const std::invalid_argument& error) {
    throw LineFileError(project_path, error.what());
  }

  const bool with_ip = options.ip || options.decay_fit || project.rules.m_range_mv_v.has_value();
  const std::string& gates = options.gates.empty() ? project.processing.gates : options.gates;
  line.gates = gates;
  std::vector<double> mains;
  try {
    mains = MainsFrequencies(project.processing.mains);
  } catch (const std::invalid_argument& error) {
    throw LineFileError(project_path, error.what());
  }
  int total = 0;
  for (const SharedSurvey& v : surveys) total += v->RecordCount;
  int done_before = 0;

  for (size_t file = 0; file < surveys.size(); ++file) {
    const Survey& v = *surveys[file];
    const double offset = project.surveys[file].offset_m;
    PassOptions pass;
    pass.record = {project.processing.flip_sign, project.processing.abs_du};
    if (with_ip) {
      IpSettings ip;
      ip.cleaning.mains_hz = mains;
      ip.decay_fit = options.decay_fit;
      if (!gates.empty()) {
        try {
          ip.gates = ParseGates(gates, v.HalfPeriod, v.SampleRate);
        } catch (const std::invalid_argument& error) {
          throw LineFileError(v.DataFileName, error.what());
        }
      }
      if (!line.chargeability_span) {
        const std::vector<Gate> spans = GatesFor(v, ip);
        if (!spans.empty()) line.chargeability_span = Gate{spans.front().t1_ms, spans.back().t2_ms};
      }
      line.survey_gates.push_back({GatesFor(v, ip), 1000.0 * v.HalfPeriod / v.SampleRate});
      pass.ip = ip;
    }
    std::vector<RecordRow> rows;
    rows.reserve(static_cast<size_t>(v.RecordCount));
    Progress progress;
    if (options.progress) progress = [&](int done, int) { options.progress(done_before + done, total); };
    const SurveyStamp& stamp = project.surveys[file].stamp;
    std::optional<PassHasher> hasher;
    if (stamp.file_hash) {
      hasher.emplace(v.DataFileName);
      pass.blocks_read = [&](BlockReadAhead::Range range, const unsigned char* bytes) {
        hasher->Block(range.start, bytes, static_cast<size_t>(range.end - range.start));
      };
    }
    try {
      RecordPass(
          v, pass, [&](const RecordRow& row) { rows.push_back(row); }, progress);
      if (hasher) CheckStampedHash(v.DataFileName, stamp, hasher->Finish());
    } catch (const PassCancelled&) {
      throw;
    } catch (const LineFileError&) {
      throw;
    } catch (const std::exception& error) {
      throw LineFileError(v.DataFileName, error.what());
    }
    done_before += v.RecordCount;
    const std::vector<double> reciprocal = ReciprocalErrors(rows);

    for (const RecordRow& record : rows) {
      SurveyRow row = RowOf(v, record.k, record.evaluation);
      LineRecord line_record;
      line_record.ref = {static_cast<int>(file), record.k};
      std::array<std::optional<GroundPoint>, 4> ground;
      std::array<std::optional<double>*, 4> at{&row.positions.a, &row.positions.b, &row.positions.m, &row.positions.n};
      std::array<std::optional<double>*, 4> on_line{&line_record.a, &line_record.b, &line_record.m, &line_record.n};
      for (size_t e = 0; e < 4; ++e) {
        if (!*at[e]) continue;
        const double position = **at[e] + offset;
        *on_line[e] = position;
        const int index = LineElectrodeAt(line.electrodes, position);
        if (index < 0) {
          *at[e] = position;  // no number: the row is left out by the formats
          ground[e] = GroundPoint{std::nan(""), std::nan("")};
          continue;
        }
        // The rules and the repeats judge the electrode of the line, as the files carry it.
        const LineElectrode& electrode = line.electrodes[static_cast<size_t>(index)];
        *on_line[e] = electrode.position;
        *at[e] = electrode.position;
        ground[e] = GroundPoint{electrode.x, electrode.z};
      }
      row.resistivity.k = GroundGeometricFactor(ground[0], ground[1], ground[2], ground[3]);
      row.resistivity.rhoa = row.resistivity.k * row.resistivity.r;
      if (record.evaluation.ip) {
        RowChargeability ip{record.evaluation.ip->m, record.evaluation.ip->m_interval, {}};
        for (const GateChargeability& gate : record.evaluation.ip->gates) {
          ip.gates.push_back(gate.m);
          ip.gate_intervals.push_back(gate.interval);
        }
        ip.fit = record.evaluation.ip->fit;
        row.ip = std::move(ip);
      }
      line_record.k = row.resistivity.k;
      line_record.r = row.resistivity.r;
      line_record.rhoa = row.resistivity.rhoa;
      line_record.stacking_error_pct = row.spread_pct;
      line_record.reciprocal_error_pct = reciprocal[static_cast<size_t>(record.k)];
      line_record.chargeability_mv_v = row.ip ? row.ip->m : std::nan("");
      line.records.push_back(line_record);
      line.rows.push_back(std::move(row));
    }
  }
  return line;
}
